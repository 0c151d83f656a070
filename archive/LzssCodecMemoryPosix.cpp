// The codec's allocation, natively: whole large pages, advised as such.
#include "archive/LzssCodec.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace {

constexpr size_t kLargePage = 2u << 20;

}  // namespace

void* CLzssCodec::operator new(size_t size)
{
    const size_t rounded = (size + kLargePage - 1) / kLargePage * kLargePage;
    void* memory = std::aligned_alloc(kLargePage, rounded);
    if (memory == nullptr)
        throw std::bad_alloc();
    // Advice only: where large pages are not available it changes nothing.
    madvise(memory, rounded, MADV_HUGEPAGE);
    return memory;
}

void CLzssCodec::operator delete(void* memory) noexcept
{
    std::free(memory);
}
