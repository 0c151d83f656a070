#include "base/FormatString.h"

#include "base/KwoException.h"

#include <cstdio>
#include <memory>

namespace KwoBase {
namespace {

constexpr size_t kFirstBufferSize = 512;
constexpr size_t kLastBufferSize = 0x40000;

// C99 semantics on both toolchains: the result is the length the whole text
// needs. msvcrt's own _vsnprintf returns -1 on truncation and may leave the
// buffer unterminated, so the cross build calls mingw's conforming one.
int BoundedFormat(char* buffer, size_t size, const char* format, va_list args)
{
#if defined(__MINGW32__)
    return __mingw_vsnprintf(buffer, size, format, args);
#else
    return std::vsnprintf(buffer, size, format, args);
#endif
}

}  // namespace

unsigned FormatStringV(std::string& out, const char* format, va_list args)
{
    size_t size = kFirstBufferSize;
    std::unique_ptr<char[]> buffer(new char[size]);
    for (unsigned pass = 1;; ++pass) {
        va_list copy;
        va_copy(copy, args);
        const int needed = BoundedFormat(buffer.get(), size, format, copy);
        va_end(copy);
        // It fits when the text and its terminating zero are in the buffer. A
        // negative result (an encoding error) never fits and ends in the raise.
        if (needed >= 0 && static_cast<size_t>(needed) < size) {
            out = buffer.get();  // the text up to its terminating zero
            return pass;
        }
        size *= 2;
        if (size > kLastBufferSize)
            ThrowError("FormatStringOverflow", "KwoBase::FormatString failed (too long string)", 0, 0);
        buffer.reset(new char[size]);
    }
}

void FormatString(std::string& out, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    try {
        FormatStringV(out, format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

}  // namespace KwoBase
