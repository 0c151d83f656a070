// Bounded printf-style formatting into a byte string.
#pragma once

#include <cstdarg>
#include <string>

#if defined(__MINGW32__)
#define KWO_PRINTF_FORMAT(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#else
#define KWO_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#endif

namespace KwoBase {

// Longest text FormatString can produce: the largest scratch buffer, 0x40000
// bytes, less its terminating zero.
constexpr size_t kMaxFormattedLength = 0x40000 - 1;

// Replaces out with the formatted text. Raises "FormatStringOverflow" when the
// text is longer than kMaxFormattedLength.
void FormatString(std::string& out, const char* format, ...) KWO_PRINTF_FORMAT(2, 3);

// The same with an argument list; returns the number of formatting passes
// (1 for a text of up to 511 characters, at most 10).
unsigned FormatStringV(std::string& out, const char* format, va_list args);

}  // namespace KwoBase
