// Folders only Linux can hold: special files, sparse giants, names in UTF-8
// that a named code page spells.
#include "tests/archive/ArchiveImages.h"
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

// The launcher's order is the stored names' byte order: in code page 1252
// the euro sign (0x80) comes before y with diaeresis (0xFF), in UTF-8 on
// disk after it (E2 82 AC against C3 BF).
TEST(KwzPackPosixTest, OrderIsThatOfTheStoredNames)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    WriteFileBytes(work / "in/\xC3\xBF.txt", "y");
    WriteFileBytes(work / "in/\xE2\x82\xAC.txt", "euro");
    ASSERT_EQ(0, RunKwz({"pack", "-q", "--codepage", "1252", work / "in", work / "p.kwz"}).code);
    ASSERT_EQ(0, RunKwz({"decompress", work / "p.kwz", work / "image"}).code);
    EXPECT_EQ(ArchiveImages::Canonical({{"\x80.txt", "euro"}, {"\xFF.txt", "y"}}), ReadFileBytes(work / "image"));

    // unpack --codepage gives the names back as they were on disk.
    ASSERT_EQ(0, RunKwz({"unpack", "-q", "--codepage", "1252", work / "p.kwz", work / "out"}).code);
    EXPECT_EQ(FolderNames(work / "in"), FolderNames(work / "out"));
    EXPECT_EQ("euro", ReadFileBytes(work / "out/\xE2\x82\xAC.txt"));
    // Without it, the stored bytes are the names, as the launcher takes them.
    ASSERT_EQ(0, RunKwz({"unpack", "-q", work / "p.kwz", work / "raw"}).code);
    EXPECT_EQ((std::vector<std::string>{"\x80.txt", "\xFF.txt"}), FolderNames(work / "raw"));
}

// Links are never followed, wherever they lead, and every one is named with
// its target; so is everything else that cannot be packed, in one message.
TEST(KwzPackPosixTest, LinksAreRefusedAllOfThemNamed)
{
    CTempFolder work;
    WriteFileBytes(work / "secret.txt", "not for the payload");
    std::filesystem::create_directory(work / "in");
    WriteFileBytes(work / "in/KwoWardenInstaller.exe", "MZ");
    ASSERT_EQ(0, symlink("../secret.txt", (work / "in/a-secret").c_str()));
    ASSERT_EQ(0, symlink("/etc", (work / "in/b-folder").c_str()));
    ASSERT_EQ(0, symlink("gone.txt", (work / "in/c-dangling").c_str()));
    std::filesystem::create_directory(work / "in/d-sub");
    const KwzResult pack = RunKwz({"pack", "-q", work / "in", work / "p.kwz"});
    EXPECT_EQ(1, pack.code);
    EXPECT_TRUE(Contains(pack.err, "\n  \"a-secret\" is a symbolic link (to ../secret.txt, a file); links are not "
                                   "followed: put the file itself in the folder, or --exclude the link\n"))
        << pack.err;
    EXPECT_TRUE(Contains(pack.err, "\n  \"b-folder\" is a symbolic link (to /etc, a folder)")) << pack.err;
    EXPECT_TRUE(Contains(pack.err, "\n  \"c-dangling\" is a symbolic link (to gone.txt, nothing)")) << pack.err;
    EXPECT_TRUE(Contains(pack.err, "\n  \"d-sub\" is a folder")) << pack.err;
    EXPECT_FALSE(FileExists(work / "p.kwz"));

    // Left out, they are no longer in the way.
    const KwzResult excluded =
        RunKwz({"pack", "-q", "--exclude", "?-s*", "--exclude=[bc]-*", work / "in", work / "p.kwz"});
    ASSERT_EQ(0, excluded.code) << excluded.err;
    ASSERT_EQ(0, RunKwz({"decompress", work / "p.kwz", work / "image"}).code);
    EXPECT_EQ(ArchiveImages::Canonical({{"KwoWardenInstaller.exe", "MZ"}}), ReadFileBytes(work / "image"));
}

// What a folder gathers besides the product stays out: excluded names, and
// the output of an earlier run, whatever its name.
TEST(KwzPackPosixTest, ExcludedFilesAndTheOutputItselfAreNotPacked)
{
    CTempFolder work;
    WriteFileBytes(work / "KwoWardenInstaller.exe", "MZ");
    WriteFileBytes(work / "Thumbs.db", "thumbs");
    WriteFileBytes(work / ".DS_Store", "store");
    WriteFileBytes(work / "debug.pdb", "symbols");
    ASSERT_EQ(0, RunKwz({"pack", "-q", "--exclude", "Thumbs.db", "--exclude", ".DS_*", "--exclude", "*.pdb",
                         work.Path(), work / "product.kwz"})
                     .code);
    // Packed again into itself: the earlier payload is not an entry.
    const KwzResult again = RunKwz({"pack", "-q", "--exclude", "Thumbs.db", "--exclude", ".DS_*", "--exclude",
                                    "*.pdb", work.Path(), work / "product.kwz"});
    ASSERT_EQ(0, again.code) << again.err;
    const KwzResult list = RunKwz({"list", work / "product.kwz"});
    EXPECT_EQ("           2  KwoWardenInstaller.exe\n", list.out.substr(0, list.out.find('\n') + 1));
    EXPECT_TRUE(Contains(list.out, "\n1 entry, ")) << list.out;
}

// unpack names the file it cannot write with the system's reason, and leaves
// no folder of its own behind.
TEST(KwzPackPosixTest, FailedUnpackNamesTheFileAndRemovesTheFoldersItMade)
{
    CTempFolder work;
    const std::string longName(300, 'n');
    WriteFileBytes(work / "p.kwz", PayloadOf({{"a.txt", "a"}, {longName, "too long for the file system"}}));
    const KwzResult list = RunKwz({"list", work / "p.kwz"});
    EXPECT_EQ(0, list.code) << list.err;  // the launcher's rule allows it; the file system does not
    const KwzResult unpack = RunKwz({"unpack", "-q", work / "p.kwz", work / "x/y/z"});
    EXPECT_EQ(1, unpack.code);
    EXPECT_TRUE(Contains(unpack.err, "kwz: cannot create " + work / ("x/y/z/" + longName) + ": File name too long"))
        << unpack.err;
    EXPECT_EQ(std::vector<std::string>{"p.kwz"}, FolderNames(work.Path()));
}

// A DIR that cannot be made is named with the reason of the failed creation,
// not that of a later check: a dangling link is called one, a file on the
// way is not a directory.
TEST(KwzPackPosixTest, UnpackIntoAFolderThatCannotBeMadeGivesItsOwnReason)
{
    CTempFolder work;
    WriteFileBytes(work / "p.kwz", PayloadOf({{"a.txt", "a"}}));
    WriteFileBytes(work / "file", "");
    ASSERT_EQ(0, symlink((work / "nowhere/deeper").c_str(), (work / "dangling").c_str()));
    const struct {
        std::string dir;
        std::string message;
    } cases[] = {
        {work / "dangling", "kwz: cannot create folder " + work / "dangling" + ": it is a symbolic link to nothing"},
        {work / "dangling/sub", "kwz: cannot create folder " + work / "dangling" + ": it is a symbolic link to nothing"},
        {work / "file/sub", "kwz: cannot create folder " + work / "file/sub" + ": Not a directory"},
    };
    for (const auto& c : cases) {
        const KwzResult unpack = RunKwz({"unpack", "-q", work / "p.kwz", c.dir});
        EXPECT_EQ(1, unpack.code) << c.dir;
        EXPECT_TRUE(Contains(unpack.err, c.message)) << unpack.err;
    }
    EXPECT_EQ((std::vector<std::string>{"dangling", "file", "p.kwz"}), FolderNames(work.Path()));
}

// Entries whose names differ only in letter case are one file on Windows:
// unpack writes that one file, with the later entry's bytes.
TEST(KwzPackPosixTest, UnpackWritesCaseTwinsAsTheLauncherWould)
{
    CTempFolder work;
    WriteFileBytes(work / "p.kwz", PayloadOf({{"README.TXT", "first"}, {"b", "b"}, {"Readme.txt", "later"}}));
    ASSERT_EQ(0, RunKwz({"unpack", "-q", work / "p.kwz", work / "out"}).code);
    EXPECT_EQ((std::vector<std::string>{"README.TXT", "b"}), FolderNames(work / "out"));
    EXPECT_EQ("later", ReadFileBytes(work / "out/README.TXT"));
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
