// Folders only Linux can hold: special files, sparse giants, names in UTF-8
// that a named code page spells.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

TEST(KwzPackPosixTest, SpecialFilesAreRefused)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    WriteFileBytes(work / "in/KwoWardenInstaller.exe", "MZ");
    ASSERT_EQ(0, mkfifo((work / "in/pipe").c_str(), 0600));
    const KwzResult pack = RunKwz({"pack", work / "in", work / "p.kwz"});
    EXPECT_EQ(1, pack.code);
    EXPECT_TRUE(Contains(pack.err, "\"pipe\" is not a regular file")) << pack.err;
    EXPECT_FALSE(FileExists(work / "p.kwz"));
}

// Sparse files: their sizes are checked before a byte of them is read.
TEST(KwzPackPosixTest, SizesBeyondThe32BitFieldsAreRefused)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "one");
    WriteFileBytes(work / "one/huge.bin", "");
    ASSERT_EQ(0, truncate((work / "one/huge.bin").c_str(), 0x100000000LL));
    const KwzResult one = RunKwz({"pack", work / "one", work / "p.kwz"});
    EXPECT_EQ(1, one.code);
    EXPECT_TRUE(Contains(one.err, "\"huge.bin\" holds 4294967296 bytes")) << one.err;

    std::filesystem::create_directory(work / "two");
    for (const char* name : {"two/a.bin", "two/b.bin"}) {
        WriteFileBytes(work / name, "");
        ASSERT_EQ(0, truncate((work / name).c_str(), 0x80000000LL));
    }
    const KwzResult two = RunKwz({"pack", work / "two", work / "p.kwz"});
    EXPECT_EQ(1, two.code);
    EXPECT_TRUE(Contains(two.err, "the image would take 4294967369 bytes")) << two.err;
    EXPECT_EQ((std::vector<std::string>{"one", "two"}), FolderNames(work.Path()));
}

struct CodePageCase {
    const char* what;
    const char* codePage;
    const char* diskName;  // UTF-8
    const char* listed;    // as kwz list --json shows the stored name; null: refused
};

class KwzPackCodePageTest : public ::testing::TestWithParam<CodePageCase> {};

TEST_P(KwzPackCodePageTest, StoresNamesInTheGivenCodePage)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    WriteFileBytes(work / ("in/" + std::string(GetParam().diskName)), "x");
    const KwzResult pack = RunKwz({"pack", "--codepage", GetParam().codePage, work / "in", work / "p.kwz"});
    if (GetParam().listed == nullptr) {
        EXPECT_EQ(1, pack.code);
        EXPECT_TRUE(Contains(pack.err, "cannot spell the name")) << pack.err;
        return;
    }
    ASSERT_EQ(0, pack.code) << pack.err;
    const KwzResult list = RunKwz({"list", "--json", work / "p.kwz"});
    EXPECT_TRUE(Contains(list.out, std::string("\"name\": \"") + GetParam().listed + "\"")) << list.out;
}

const CodePageCase kCodePages[] = {
    {"Western", "cp1252", "caf\xC3\xA9.txt", "caf\\u00E9.txt"},
    {"Cyrillic", "1251", "\xD0\x94.txt", "\\u00C4.txt"},
    {"AsciiUnchanged", "1252", "plain.txt", "plain.txt"},
    {"NotInTheCodePage", "1252", "\xD0\x94.txt", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Table, KwzPackCodePageTest, ::testing::ValuesIn(kCodePages),
                         [](const ::testing::TestParamInfo<CodePageCase>& param) { return param.param.what; });

}  // namespace
