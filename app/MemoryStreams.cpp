#include "app/MemoryStreams.h"

#include "base/KwoException.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr size_t kSmallestCommit = 1u << 20;

size_t AlignUp(size_t value, size_t alignment)
{
    return (value + alignment - 1) / alignment * alignment;
}

// The largest free block of the address space, at an allocation boundary.
void FindLargestFreeBlock(char*& base, size_t& size)
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const uintptr_t granularity = system.dwAllocationGranularity;
    const uintptr_t end = reinterpret_cast<uintptr_t>(system.lpMaximumApplicationAddress);
    base = nullptr;
    size = 0;
    MEMORY_BASIC_INFORMATION region;
    for (uintptr_t at = reinterpret_cast<uintptr_t>(system.lpMinimumApplicationAddress);
         at < end && VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) != 0;
         at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize) {
        if (region.State != MEM_FREE)
            continue;
        const uintptr_t start = (reinterpret_cast<uintptr_t>(region.BaseAddress) + granularity - 1) / granularity * granularity;
        const uintptr_t stop =
            std::min<uintptr_t>(reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize, end);
        if (stop > start && stop - start > size) {
            base = reinterpret_cast<char*>(start);
            size = (stop - start) / granularity * granularity;
        }
    }
}

}  // namespace

CPayloadStream::CBuffer::CBuffer(const void* bytes, size_t size)
    : copy(static_cast<const char*>(bytes), static_cast<const char*>(bytes) + size)
{
    setg(copy.data(), copy.data(), copy.data() + copy.size());
}

CPayloadStream::CPayloadStream(const void* bytes, size_t size) : buffer(bytes, size), stream(&buffer)
{
}

CImageStream::CImageStream(uint64_t largestImage) : buffer(largestImage), stream(&buffer)
{
    // A failed growth must end the decode rather than leave a silently
    // shortened image behind.
    stream.exceptions(std::ios::badbit);
}

const uint8_t* CImageStream::Data() const
{
    return buffer.Data();
}

size_t CImageStream::Size() const
{
    return buffer.Size();
}

CImageStream::CBuffer::CBuffer(uint64_t largestImage_) : largestImage(largestImage_)
{
    setp(nullptr, nullptr);
}

CImageStream::CBuffer::~CBuffer()
{
    if (block != nullptr)
        VirtualFree(block, 0, MEM_RELEASE);
}

void CImageStream::CBuffer::Reserve()
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const size_t granularity = system.dwAllocationGranularity;
    // Room for largestImage bytes, if size_t can say it.
    const uint64_t wanted = (largestImage + granularity - 1) / granularity * granularity;
    if (wanted <= SIZE_MAX) {
        block = static_cast<char*>(VirtualAlloc(nullptr, static_cast<size_t>(wanted), MEM_RESERVE, PAGE_NOACCESS));
        if (block != nullptr) {
            reserved = static_cast<size_t>(wanted);
            return;
        }
    }
    // Not that much room: the largest block there is. Another thread may
    // take it between the search and the reservation; then search again.
    for (int attempt = 0; attempt < 4 && block == nullptr; ++attempt) {
        char* base = nullptr;
        size_t size = 0;
        FindLargestFreeBlock(base, size);
        if (size == 0)
            break;
        block = static_cast<char*>(VirtualAlloc(base, size, MEM_RESERVE, PAGE_NOACCESS));
        reserved = block != nullptr ? size : 0;
    }
    if (block == nullptr)
        throw std::bad_alloc();
}

void CImageStream::CBuffer::Grow(size_t atLeast)
{
    const size_t used = Size();
    if (atLeast > largestImage || used > largestImage - atLeast) {
        // No archive reaches this far; the loader would refuse the image.
        SetLastError(ERROR_INVALID_DATA);
        ThrowWin32Error("ArchiveError", "Archive is corrupted.", 0, 0);
    }
    if (block == nullptr)
        Reserve();
    if (atLeast > reserved - used)
        throw std::bad_alloc();
    const size_t step = std::max(kSmallestCommit, committed / 4);
    const size_t needed = used + atLeast;
    const size_t target = std::min(reserved, AlignUp(std::max(needed, committed + std::min(step, reserved - committed)), 4096));
    if (VirtualAlloc(block + committed, target - committed, MEM_COMMIT, PAGE_READWRITE) == nullptr)
        throw std::bad_alloc();
    committed = target;
    SetArea(used);
}

// The put area starts at the first free byte, so no pbump (an int) is needed
// to get past what is written, however large the image; it ends where the
// committed memory or the largest image does, so that a byte past either
// comes to Grow.
void CImageStream::CBuffer::SetArea(size_t used)
{
    areaStart = used;
    const size_t end = largestImage < committed ? static_cast<size_t>(largestImage) : committed;
    setp(block + used, block + end);
}

CImageStream::CBuffer::int_type CImageStream::CBuffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    Grow(1);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

std::streamsize CImageStream::CBuffer::xsputn(const char* data, std::streamsize count)
{
    if (count <= 0)
        return 0;
    const size_t size = static_cast<size_t>(count);
    if (static_cast<size_t>(epptr() - pptr()) < size)
        Grow(size);
    std::memcpy(pptr(), data, size);
    SetArea(Size() + size);
    return count;
}
