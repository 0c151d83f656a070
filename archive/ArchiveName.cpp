#include "archive/ArchiveName.h"

#include <cstdio>

namespace {

char UpperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(const std::string& text, const char* upper)
{
    size_t i = 0;
    for (; upper[i] != '\0'; ++i)
        if (i >= text.size() || UpperAscii(text[i]) != upper[i])
            return false;
    return i == text.size();
}

// The digits Windows accepts after COM and LPT: 1 to 9, and the superscripts
// 1, 2, 3 of the Western code page.
bool IsDeviceDigit(char c)
{
    const unsigned char u = static_cast<unsigned char>(c);
    return (u >= '1' && u <= '9') || u == 0xB9 || u == 0xB2 || u == 0xB3;
}

// Windows opens a device for these whatever extension follows and whatever
// blanks end the base name: "nul.txt" and "Con .log" are devices too.
bool IsDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (EqualsIgnoringCase(base, device))
            return true;
    return base.size() == 4 && IsDeviceDigit(base[3]) &&
           (EqualsIgnoringCase(base.substr(0, 3), "COM") || EqualsIgnoringCase(base.substr(0, 3), "LPT"));
}

}  // namespace

const char* FileNameProblem(const std::string& name)
{
    if (name.empty())
        return "the name is empty";
    if (name.find_first_not_of(". ") == std::string::npos)
        return "the name is made of dots and blanks only";
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (c == '\\' || c == '/')
            return "the name holds a folder separator";
        if (c == ':')
            return "the name holds a colon";
        // DEL (0x7F) is allowed in Windows file names; the C0 controls are not.
        if (u < 0x20)
            return "the name holds a control character";
        if (c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return "the name holds a character Windows does not allow in file names";
    }
    if (IsDeviceName(name))
        return "the name is reserved for a device on Windows";
    // Windows drops them when it creates the file, which would then not be
    // the one the entry names.
    if (name.back() == '.' || name.back() == ' ')
        return "the name ends in a dot or blank, which Windows drops";
    return nullptr;
}

std::string PrintableName(const std::string& name)
{
    std::string out;
    for (char c : name) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && c != '\\') {
            out += c;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", u);
            out += escaped;
        }
    }
    return out;
}
