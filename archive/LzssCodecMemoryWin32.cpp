// The codec's allocation on Windows: the ordinary heap (large pages need a
// privilege that a setup program does not have).
#include "archive/LzssCodec.h"

#include <new>

void* CLzssCodec::operator new(size_t size)
{
    return ::operator new(size);
}

void CLzssCodec::operator delete(void* memory) noexcept
{
    ::operator delete(memory);
}
