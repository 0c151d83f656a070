// Names beyond ASCII on Windows: the listing reads them in UTF-16, and pack
// stores them only when a code page is named that can spell them.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

namespace {

// Creates folder\name (name in UTF-16) holding one byte.
void MakeWideFile(const std::string& folder, const std::wstring& name)
{
    const std::wstring path = std::filesystem::path(folder).wstring() + L"\\" + name;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "x", 1, &written, nullptr);
    CloseHandle(file);
}

TEST(KwzPackWin32Test, NamesBeyondAsciiNeedACodePageThatSpellsThem)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    MakeWideFile(work / "in", L"caf\u00E9.txt");

    const KwzResult plain = RunKwz({"pack", work / "in", work / "p.kwz"});
    EXPECT_EQ(1, plain.code);
    EXPECT_TRUE(Contains(plain.err, "\"caf\\xC3\\xA9.txt\": the name is not ASCII")) << plain.err;
    EXPECT_FALSE(FileExists(work / "p.kwz"));

    const KwzResult western = RunKwz({"pack", "--codepage=1252", work / "in", work / "p.kwz"});
    ASSERT_EQ(0, western.code) << western.err;
    EXPECT_TRUE(Contains(RunKwz({"list", "--json", work / "p.kwz"}).out, "\"name\": \"caf\\u00E9.txt\""));

    MakeWideFile(work / "in", L"\u0414.txt");  // Cyrillic De: not in code page 1252
    const KwzResult mixed = RunKwz({"pack", "--codepage", "1252", work / "in", work / "q.kwz"});
    EXPECT_EQ(1, mixed.code);
    EXPECT_TRUE(Contains(mixed.err, "code page 1252 cannot spell the name")) << mixed.err;
    EXPECT_FALSE(FileExists(work / "q.kwz"));
}

}  // namespace
