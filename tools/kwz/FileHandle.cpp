#include "tools/kwz/FileHandle.h"

#include "base/KwoException.h"
#include "base/SystemError.h"

#include <utility>

std::string LastSystemReason()
{
    std::string text = LastErrorText();
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    return text;
}

void RaiseFileProblem(const char* action, const std::string& path, const std::string& reason)
{
    const std::string message = std::string("cannot ") + action + " " + path + ": " + reason;
    ThrowError("FileError", message.c_str(), 0, 0);
}

void RaiseFileError(const char* action, const std::string& path)
{
    RaiseFileProblem(action, path, LastSystemReason());
}

CFileHandle::CFileHandle(intptr_t native_, std::string name_, bool owned_)
    : native(native_), name(std::move(name_)), owned(owned_)
{
}

CFileHandle::~CFileHandle()
{
    Close();
}

CFileHandle::CFileHandle(CFileHandle&& other) noexcept
    : native(other.native), name(std::move(other.name)), owned(other.owned)
{
    other.native = kClosed;
}

CFileHandle& CFileHandle::operator=(CFileHandle&& other) noexcept
{
    if (this != &other) {
        Close();
        native = other.native;
        name = std::move(other.name);
        owned = other.owned;
        other.native = kClosed;
    }
    return *this;
}
