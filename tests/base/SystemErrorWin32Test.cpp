#include "base/KwoException.h"
#include "base/SystemError.h"
#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// The raw text FormatMessageA gives on this machine (Wine's differ from Windows').
std::string RawSystemText(DWORD code)
{
    char* buffer = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&buffer), 0,
                   nullptr);
    std::string text = buffer != nullptr ? buffer : "";
    LocalFree(buffer);
    return text;
}

TEST(SystemErrorWin32Test, AccessDeniedAfterARealFailedCall)
{
    CTempFolder folder;
    const std::string path = folder / "read-only.txt";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_READONLY, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);
    ASSERT_FALSE(DeleteFileA(path.c_str())) << "deleting a read-only file did not fail";
    ASSERT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    auto e = Raised([] { ThrowWin32Error("FileError", "Unable to delete", 0, 0); });
    ASSERT_TRUE(e);
    const std::string raw = RawSystemText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(raw.empty());
    EXPECT_EQ("Unable to delete\n\tNested error [Win32] " + OneLineText(raw.c_str()), e->MessageText());
    // The system text ends in a line break, which became one blank.
    EXPECT_EQ(' ', e->MessageText().back());
    EXPECT_EQ(std::string::npos, e->MessageText().find('\r'));
}

TEST(SystemErrorWin32Test, UnknownCodeStillGivesAText)
{
    const std::string text = SystemErrorText(0x2FFFFFFF);
    EXPECT_NE(std::string::npos, text.find("805306367")) << text;
}

}  // namespace
