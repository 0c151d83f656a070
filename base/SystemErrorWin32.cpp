// Windows side of the error model: GetLastError, FormatMessageA, MessageBoxA.
#include "base/KwoException.h"
#include "base/SystemError.h"

#include <windows.h>

#include <cstdio>

uint32_t LastErrorCode()
{
    return GetLastError();
}

std::string SystemErrorText(uint32_t code)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        // No description known: name the code so the message still says something.
        char fallback[48];
        std::snprintf(fallback, sizeof fallback, "Unknown error %lu (0x%08lX).",
                      static_cast<unsigned long>(code), static_cast<unsigned long>(code));
        return fallback;
    }
    std::string line = OneLineText(buffer);
    LocalFree(buffer);
    return line;
}

int CKwoException::DisplayMessage(int)
{
    MessageBoxA(nullptr, message.c_str(), "Error", MB_OK | MB_ICONEXCLAMATION);
    return 0;
}
