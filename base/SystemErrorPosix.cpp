// Native side of the error model: errno and the C library's descriptions.
#include "base/KwoException.h"
#include "base/SystemError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

uint32_t LastErrorCode()
{
    return static_cast<uint32_t>(errno);
}

std::string SystemErrorText(uint32_t code)
{
    char buffer[256];
    // GNU strerror_r may return a static text instead of filling the buffer.
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return OneLineText(text != nullptr ? text : "");
}

int CKwoException::DisplayMessage(int)
{
    std::fprintf(stderr, "Error: %s\n", message.c_str());
    return 0;
}
