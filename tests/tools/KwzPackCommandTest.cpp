// kwz pack, list and unpack together on real folders.
#include "tests/archive/ArchiveImages.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Bytes with some repetition, from a fixed seed.
std::string Content(size_t n, unsigned seed)
{
    std::string data(n, '\0');
    uint32_t state = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        data[i] = static_cast<char>(i % 7 == 0 ? (state >> 16) : 'a' + (i / 64) % 26);
    }
    return data;
}

// A folder with an installer, an empty file and a few others.
void FillPayloadFolder(const std::string& folder)
{
    WriteFileBytes(folder + "/KwoWardenInstaller.exe", Content(70000, 1));
    WriteFileBytes(folder + "/setup.ini", "[setup]\nname=demo\n");
    WriteFileBytes(folder + "/empty.dat", "");
    WriteFileBytes(folder + "/Zeta.bin", Content(3000, 2));
    WriteFileBytes(folder + "/alpha.bin", Content(5000, 3));
}

TEST(KwzPackTest, PackThenUnpackGivesTheSameFiles)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    FillPayloadFolder(work / "in");
    const KwzResult pack = RunKwz({"pack", work / "in", work / "p.kwz"});
    ASSERT_EQ(0, pack.code) << pack.err;
    EXPECT_EQ("", pack.err);  // installer present, and a pipe shows no progress
    const KwzResult unpack = RunKwz({"unpack", work / "p.kwz", work / "out/deeper"});
    ASSERT_EQ(0, unpack.code) << unpack.err;
    const std::vector<std::string> names = FolderNames(work / "in");
    EXPECT_EQ(names, FolderNames(work / "out/deeper"));
    for (const std::string& name : names)
        EXPECT_EQ(ReadFileBytes(work / ("in/" + name)), ReadFileBytes(work / ("out/deeper/" + name))) << name;
}

TEST(KwzPackTest, ImageIsTheCanonicalLayoutInByteOrderOfNames)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    FillPayloadFolder(work / "in");
    ASSERT_EQ(0, RunKwz({"pack", work / "in", work / "p.kwz"}).code);
    ASSERT_EQ(0, RunKwz({"pack", "-q", work / "in", work / "again.kwz"}).code);
    EXPECT_EQ(ReadFileBytes(work / "p.kwz"), ReadFileBytes(work / "again.kwz"));

    ASSERT_EQ(0, RunKwz({"decompress", work / "p.kwz", work / "image"}).code);
    // Upper case sorts before lower case: byte order, not letter order.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"KwoWardenInstaller.exe", Content(70000, 1)},
        {"Zeta.bin", Content(3000, 2)},
        {"alpha.bin", Content(5000, 3)},
        {"empty.dat", ""},
        {"setup.ini", "[setup]\nname=demo\n"},
    };
    EXPECT_EQ(ArchiveImages::Canonical(expected), ReadFileBytes(work / "image"));

    // Without the installer the launcher starts nothing: packed, with a warning.
    std::filesystem::remove(work / "in/KwoWardenInstaller.exe");
    const KwzResult pack = RunKwz({"pack", work / "in", work / "no-installer.kwz"});
    EXPECT_EQ(0, pack.code);
    EXPECT_TRUE(Contains(pack.err, "warning: " + work / "in" + " holds no KwoWardenInstaller.exe")) << pack.err;
}

struct RefusalCase {
    const char* what;
    void (*prepare)(const std::string& folder);  // fills folder "in"
    const char* culprit;                         // must appear on stderr
};

class KwzPackRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(KwzPackRefusalTest, NamesTheCulpritAndWritesNothing)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    GetParam().prepare(work / "in");
    const std::vector<std::string> before = FolderNames(work.Path());
    const KwzResult pack = RunKwz({"pack", work / "in", work / "p.kwz"});
    EXPECT_EQ(1, pack.code);
    EXPECT_TRUE(Contains(pack.err, GetParam().culprit)) << pack.err;
    EXPECT_EQ(before, FolderNames(work.Path()));
}

const RefusalCase kRefusals[] = {
    {"EmptyFolder", [](const std::string&) {}, "holds no files"},
    {"SubFolder",
     [](const std::string& in) {
         WriteFileBytes(in + "/KwoWardenInstaller.exe", "MZ");
         std::filesystem::create_directory(in + "/docs");
     },
     "\"docs\" is a folder"},
};

INSTANTIATE_TEST_SUITE_P(Table, KwzPackRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& param) { return param.param.what; });

TEST(KwzPackTest, MissingFolderIsAnErrorAndWrongUsageExitsWithTwo)
{
    CTempFolder work;
    const KwzResult missing = RunKwz({"pack", work / "nothing-here", work / "p.kwz"});
    EXPECT_EQ(1, missing.code);
    EXPECT_TRUE(Contains(missing.err, "nothing-here")) << missing.err;
    EXPECT_EQ(2, RunKwz({"pack", work.Path()}).code);
    EXPECT_EQ(2, RunKwz({"pack", "--fast", work.Path(), work / "p.kwz"}).code);
    EXPECT_EQ(2, RunKwz({"pack", "--codepage", "latin1", work.Path(), work / "p.kwz"}).code);
    EXPECT_EQ(2, RunKwz({"list"}).code);
    EXPECT_EQ(2, RunKwz({"unpack", work / "p.kwz"}).code);
    EXPECT_TRUE(FolderNames(work.Path()).empty());
}

TEST(KwzListTest, PrintsEntriesAndTotals)
{
    CTempFolder work;
    WriteFileBytes(work / "image", ArchiveImages::Canonical({{"setup.exe", std::string(1000, 'x')}, {"b", "12"}}));
    ASSERT_EQ(0, RunKwz({"compress", work / "image", work / "p.kwz"}).code);
    const std::string payloadSize = std::to_string(ReadFileBytes(work / "p.kwz").size());

    const KwzResult text = RunKwz({"list", work / "p.kwz"});
    ASSERT_EQ(0, text.code) << text.err;
    EXPECT_TRUE(Contains(text.out, "        1000  setup.exe\n           2  b\n")) << text.out;
    EXPECT_TRUE(Contains(text.out, "2 entries, image 1075 bytes, payload " + payloadSize + " bytes, ratio "))
        << text.out;

    const KwzResult json = RunKwz({"list", "--json", work / "p.kwz"});
    ASSERT_EQ(0, json.code) << json.err;
    EXPECT_TRUE(Contains(json.out, "{\"name\": \"setup.exe\", \"size\": 1000, \"offset\": 73}")) << json.out;
    EXPECT_TRUE(Contains(json.out, "{\"name\": \"b\", \"size\": 2, \"offset\": 1073}")) << json.out;
    EXPECT_TRUE(Contains(json.out, "\"count\": 2,\n  \"imageSize\": 1075,\n  \"payloadSize\": " + payloadSize))
        << json.out;
}

TEST(KwzListTest, NamesBeyondAsciiAreEscaped)
{
    CTempFolder work;
    WriteFileBytes(work / "image", ArchiveImages::Canonical({{"caf\xE9 1.txt", "x"}}));
    ASSERT_EQ(0, RunKwz({"compress", work / "image", work / "p.kwz"}).code);
    const KwzResult json = RunKwz({"list", "--json", work / "p.kwz"});
    EXPECT_TRUE(Contains(json.out, "\"name\": \"caf\\u00E9 1.txt\"")) << json.out;
    EXPECT_TRUE(Contains(RunKwz({"list", work / "p.kwz"}).out, "caf\\xE9 1.txt"));

}

struct BadPayloadCase {
    const char* what;
    std::string (*image)();  // compressed before use; null: a cut stream
    const char* message;
};

class KwzBadPayloadTest : public ::testing::TestWithParam<BadPayloadCase> {};

// list and unpack refuse what the launcher would refuse, and unpack writes
// nothing, not even its target folder.
TEST_P(KwzBadPayloadTest, ListAndUnpackRefuseIt)
{
    CTempFolder work;
    if (GetParam().image != nullptr) {
        WriteFileBytes(work / "image", GetParam().image());
        ASSERT_EQ(0, RunKwz({"compress", work / "image", work / "p.kwz"}).code);
    } else {
        WriteFileBytes(work / "p.kwz", std::string("\xB0\x80", 2));
    }
    const KwzResult list = RunKwz({"list", work / "p.kwz"});
    EXPECT_EQ(1, list.code);
    EXPECT_TRUE(Contains(list.err, work / "p.kwz")) << list.err;
    EXPECT_TRUE(Contains(list.err, GetParam().message)) << list.err;
    EXPECT_EQ("", list.out);

    const KwzResult unpack = RunKwz({"unpack", work / "p.kwz", work / "out"});
    EXPECT_EQ(1, unpack.code);
    EXPECT_TRUE(Contains(unpack.err, GetParam().message)) << unpack.err;
    EXPECT_FALSE(FileExists(work / "out"));
}

const BadPayloadCase kBadPayloads[] = {
    {"CutStream", nullptr, "Unexpected end of file reached."},
    {"Signature", [] { return std::string("KwoIncorporated.Archive.kwar", 29) + std::string(8, '\0'); },
     "Archive is corrupted. (the signature does not match)"},
    {"ParentFolderName",
     [] {
         return ArchiveImages::Canonical({{"ok.txt", "fine"}, {"..\\evil.exe", "MZ"}});
     },
     "Archive is corrupted. (entry 1: \"..\\x5Cevil.exe\": the name holds a folder separator)"},
    {"DataOutside",
     [] {
         std::string image = ArchiveImages::Canonical({{"a", "1234"}});
         ArchiveImages::PutU32(image, 37 + 4 + 2, 5);
         return image;
     },
     "Archive is corrupted. (entry 0: \"a\": the data lie outside the image)"},
};

INSTANTIATE_TEST_SUITE_P(Table, KwzBadPayloadTest, ::testing::ValuesIn(kBadPayloads),
                         [](const ::testing::TestParamInfo<BadPayloadCase>& param) { return param.param.what; });

TEST(KwzUnpackTest, LeavesExistingFilesAloneUnlessForced)
{
    CTempFolder work;
    WriteFileBytes(work / "image", ArchiveImages::Canonical({{"a.txt", "new a"}, {"b.txt", "first"}, {"b.txt", "new b"}}));
    ASSERT_EQ(0, RunKwz({"compress", work / "image", work / "p.kwz"}).code);
    std::filesystem::create_directory(work / "out");
    WriteFileBytes(work / "out/b.txt", "old b");
    WriteFileBytes(work / "out/keep.txt", "untouched");

    const KwzResult refused = RunKwz({"unpack", work / "p.kwz", work / "out"});
    EXPECT_EQ(1, refused.code);
    EXPECT_TRUE(Contains(refused.err, "\"b.txt\"")) << refused.err;
    EXPECT_FALSE(Contains(refused.err, "\"a.txt\"")) << refused.err;
    EXPECT_EQ((std::vector<std::string>{"b.txt", "keep.txt"}), FolderNames(work / "out"));
    EXPECT_EQ("old b", ReadFileBytes(work / "out/b.txt"));

    const KwzResult forced = RunKwz({"unpack", "--force", work / "p.kwz", work / "out"});
    ASSERT_EQ(0, forced.code) << forced.err;
    EXPECT_EQ((std::vector<std::string>{"a.txt", "b.txt", "keep.txt"}), FolderNames(work / "out"));
    EXPECT_EQ("new a", ReadFileBytes(work / "out/a.txt"));
    EXPECT_EQ("new b", ReadFileBytes(work / "out/b.txt"));  // the later entry wins
    EXPECT_EQ("untouched", ReadFileBytes(work / "out/keep.txt"));
}

}  // namespace
