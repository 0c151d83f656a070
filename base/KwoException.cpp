#include "base/KwoException.h"

#include "base/SystemError.h"

CKwoException::CKwoException(const char* category_, const char* message_, int32_t extra1_, int32_t extra2_)
    : extra1(extra1_), extra2(extra2_), category(category_), message(message_)
{
}

// Members go in reverse order of declaration: message first, then category.
CKwoException::~CKwoException() = default;

void ThrowError(const char* category, const char* message, int32_t extra1, int32_t extra2)
{
    throw new CKwoException(category, message, extra1, extra2);
}

void ThrowWin32Error(const char* category, const char* message, int32_t extra1, int32_t extra2)
{
    // Read the code before anything else can overwrite it.
    const uint32_t code = LastErrorCode();
    std::string text(message);
    text += "\n\tNested error [Win32] ";
    text += SystemErrorText(code);
    throw new CKwoException(category, text.c_str(), extra1, extra2);
}

std::string LastErrorText()
{
    return SystemErrorText(LastErrorCode());
}

std::string OneLineText(const char* text)
{
    std::string line;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\n')
            line += ' ';
        else if (*p != '\r')
            line += *p;
    }
    return line;
}
