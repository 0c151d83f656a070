// A vendor's icon and version information, stamped with kwz and read back
// by Windows (Wine): the version functions find every value, and the
// program's own LoadIconA gets the new icon.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/IconFiles.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

// The second line of the stamped probe's report: the icon it loaded.
std::string ProbeIconLine(const std::string& program)
{
    FILE* pipe = _popen(("\"" + program + "\"").c_str(), "rb");
    std::string output;
    if (pipe == nullptr)
        return output;
    char buffer[512];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, got);
    _pclose(pipe);
    const size_t line = output.find('\n');
    return line == std::string::npos ? output : output.substr(line + 1);
}

// The version information block of path, or empty.
std::vector<char> VersionBlock(const std::string& path)
{
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path.c_str(), &ignored));
    if (block.empty() || !GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
        block.clear();
    return block;
}

std::wstring Value(std::vector<char>& block, const wchar_t* key)
{
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
    if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || value == nullptr)
        return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value));
}

TEST(PeIdentityWin32Test, WindowsReadsTheStampedVersionInformationAndIcon)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", PayloadOf({{"KwoWardenInstaller.exe", "MZ"}}));
    WriteFileBytes(dir / "green.ico", PeTest::SolidIconFile({{16, 0xFF0000}, {32, 0x00FF00}, {48, 0x0000FF}}));
    WriteFileBytes(dir / "blue.ico", PeTest::SolidIconFile({{32, 0x0000FF}}));
    WriteFileBytes(dir / "version.txt",
                   "CompanyName=Example Ltd\nProductName=Beispiel Gr\xC3\xB6\xC3\x9F" "e\nFileDescription=Example Setup\n"
                   "FileVersion=2.4.1.7\nProductVersion=2.4\nLegalCopyright=(c) 2026 Example Ltd\n"
                   "OriginalFilename=ExampleSetup.exe\nComments=to be overridden\n");
    const std::string stub = PeTest::Fixture("probe-stripped.exe");
    const KwzResult run = RunKwz({"stamp", "-q", "--icon", dir / "green.ico", "--version-info", dir / "version.txt",
                                  "--set", "Comments=from --set", stub, dir / "payload.kwz", dir / "setup.exe"});
    ASSERT_EQ(0, run.code) << run.err;

    std::vector<char> block = VersionBlock(dir / "setup.exe");
    ASSERT_FALSE(block.empty());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
    EXPECT_EQ(0x00020004u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00010007u, fixed->dwFileVersionLS);
    EXPECT_EQ(0x00020004u, fixed->dwProductVersionMS);
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    DWORD* translation = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
    EXPECT_EQ(4u, length);
    EXPECT_EQ(0x04B00409u, *translation);
    char* company = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\CompanyName",
                               reinterpret_cast<void**>(&company), &length));
    EXPECT_STREQ("Example Ltd", company);
    EXPECT_EQ(L"Beispiel Gr\u00F6\u00DFe", Value(block, L"ProductName"));
    EXPECT_EQ(L"2.4.1.7", Value(block, L"FileVersion"));
    EXPECT_EQ(L"2.4", Value(block, L"ProductVersion"));
    EXPECT_EQ(L"ExampleSetup.exe", Value(block, L"OriginalFilename"));
    EXPECT_EQ(L"(c) 2026 Example Ltd", Value(block, L"LegalCopyright"));
    EXPECT_EQ(L"from --set", Value(block, L"Comments"));
    EXPECT_EQ(L"(missing)", Value(block, L"InternalName"));

    // LoadIconA takes the 32-pixel image of the group.
    EXPECT_EQ("icon 00ff00 32x32\r\n", ProbeIconLine(dir / "setup.exe"));
    // Restamped with another icon: that one, and the version stays.
    ASSERT_EQ(0, RunKwz({"stamp", "-q", "--icon", dir / "blue.ico", dir / "setup.exe", dir / "payload.kwz",
                         dir / "again.exe"}).code);
    EXPECT_EQ("icon 0000ff 32x32\r\n", ProbeIconLine(dir / "again.exe"));
    block = VersionBlock(dir / "again.exe");
    EXPECT_EQ(L"from --set", Value(block, L"Comments"));
}

}  // namespace
