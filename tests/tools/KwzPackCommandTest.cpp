// kwz pack, list and unpack together on real folders.
#include "tests/archive/ArchiveImages.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(KwzPackTest, CanonicalImageInByteOrderOfNamesThatUnpacksToTheSameFiles)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    FillPayloadFolder(work / "in");
    const KwzResult pack = RunKwz({"pack", work / "in", work / "p.kwz"});
    ASSERT_EQ(0, pack.code) << pack.err;
    const KwzResult quiet = RunKwz({"pack", "-q", work / "in", work / "again.kwz"});
    ASSERT_EQ(0, quiet.code);
    EXPECT_EQ("", quiet.err);  // installer present, and no totals
    EXPECT_EQ(ReadFileBytes(work / "p.kwz"), ReadFileBytes(work / "again.kwz"));

    ASSERT_EQ(0, RunKwz({"decompress", work / "p.kwz", work / "image"}).code);
    // Upper case sorts before lower case: byte order, not letter order.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"KwoWardenInstaller.exe", SeededBytes(70000, 1)},
        {"Zeta.bin", SeededBytes(3000, 2)},
        {"alpha.bin", SeededBytes(5000, 3)},
        {"empty.dat", ""},
        {"setup.ini", "[setup]\nname=demo\n"},
    };
    EXPECT_EQ(ArchiveImages::Canonical(expected), ReadFileBytes(work / "image"));
    // The totals are the image's and the payload's, as list gives them.
    const std::string totals = "5 entries, image " + std::to_string(ArchiveImages::Canonical(expected).size()) +
                               " bytes, payload " + std::to_string(ReadFileBytes(work / "p.kwz").size()) + " bytes";
    EXPECT_EQ(0u, pack.err.find(SummaryStart(work / "p.kwz", totals))) << pack.err;
    EXPECT_EQ('\n', pack.err.back());
    EXPECT_TRUE(Contains(RunKwz({"list", work / "p.kwz"}).out, totals)) << totals;

    const KwzResult unpack = RunKwz({"unpack", work / "p.kwz", work / "out/deeper"});
    ASSERT_EQ(0, unpack.code) << unpack.err;
    EXPECT_EQ(0u, unpack.err.find(SummaryStart(work / "out/deeper", totals))) << unpack.err;
    const std::vector<std::string> names = FolderNames(work / "in");
    EXPECT_EQ(names, FolderNames(work / "out/deeper"));
    for (const std::string& name : names)
        EXPECT_EQ(ReadFileBytes(work / ("in/" + name)), ReadFileBytes(work / ("out/deeper/" + name))) << name;

    // Without the installer the launcher starts nothing: packed, with a warning.
    std::filesystem::remove(work / "in/KwoWardenInstaller.exe");
    const KwzResult bare = RunKwz({"pack", work / "in", work / "no-installer.kwz"});
    EXPECT_EQ(0, bare.code);
    EXPECT_TRUE(Contains(bare.err, "warning: " + work / "in" + " holds no KwoWardenInstaller.exe")) << bare.err;
}

struct RefusalCase {
    const char* what;
    std::vector<std::string> names;  // made in the folder: files holding "data", or folders when ending in '/'
    const char* culprit;             // must appear on stderr
};

class KwzPackRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

// Every culprit is named, and only they: the installer never is.
TEST_P(KwzPackRefusalTest, NamesTheCulpritAndWritesNothing)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    for (const std::string& name : GetParam().names) {
        if (name.back() == '/')
            std::filesystem::create_directory(work / ("in/" + name));
        else
            WriteFileBytes(work / ("in/" + name), "data");
    }
    const KwzResult pack = RunKwz({"pack", work / "in", work / "p.kwz"});
    EXPECT_EQ(1, pack.code);
    EXPECT_TRUE(Contains(pack.err, GetParam().culprit)) << pack.err;
    EXPECT_FALSE(Contains(pack.err, "KwoWardenInstaller")) << pack.err;
    EXPECT_EQ(std::vector<std::string>{"in"}, FolderNames(work.Path()));
}

const RefusalCase kRefusals[] = {
    {"EmptyFolder", {}, "holds no files"},
    {"SubFolder", {"KwoWardenInstaller.exe", "docs/"}, "\"docs\" is a folder"},
#if !defined(_WIN32)
    // Names that only Linux can hold.
    {"DeviceName", {"KwoWardenInstaller.exe", "CON.txt"}, "\"CON.txt\": the name is reserved for a device"},
    {"TrailingDot", {"KwoWardenInstaller.exe", "notes."}, "\"notes.\": the name ends in a dot or blank, which Windows drops"},
    {"TrailingBlank", {"KwoWardenInstaller.exe", "notes "}, "\"notes \": the name ends in a dot or blank"},
    {"NotAscii", {"KwoWardenInstaller.exe", "caf\xC3\xA9.txt"}, "\"caf\\xC3\\xA9.txt\": the name is not ASCII"},
    {"CaseTwins", {"KwoWardenInstaller.exe", "Readme", "README"}, "\"README\" and \"Readme\" would be one file on Windows"},
    {"EveryCulpritNamedInOrder",
     {"KwoWardenInstaller.exe", "a|b", "NUL"},
     "\"NUL\": the name is reserved for a device on Windows, so the launcher would refuse the payload\n"
     "  \"a|b\": the name holds a character"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Table, KwzPackRefusalTest, ::testing::ValuesIn(kRefusals),
                         [](const ::testing::TestParamInfo<RefusalCase>& param) { return param.param.what; });

// pack takes a folder; anything else is named for what it is.
TEST(KwzPackTest, WhatIsNotAFolderIsCalledWhatItIs)
{
    CTempFolder work;
    WriteFileBytes(work / "p.kwz", PayloadOf({{"KwoWardenInstaller.exe", "MZ"}}));
    WriteFileBytes(work / "notes.txt", "some notes\n");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"nothing-here", "kwz: cannot pack " + work / "nothing-here" + ": there is no such folder"},
        {"p.kwz", "kwz: cannot pack " + work / "p.kwz" + ": it is not a folder; it is a payload already (1 entry, "},
        {"notes.txt", "kwz: cannot pack " + work / "notes.txt" + ": it is not a folder; " + work / "notes.txt" +
                          " is neither a payload nor a setup program"},
    };
    for (const auto& c : cases) {
        const KwzResult run = RunKwz({"pack", work / c.first, work / "out.kwz"});
        EXPECT_EQ(1, run.code);
        EXPECT_TRUE(Contains(run.err, c.second)) << run.err;
    }
    EXPECT_EQ((std::vector<std::string>{"notes.txt", "p.kwz"}), FolderNames(work.Path()));
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
    std::string (*payload)();
    const char* message;
};

class KwzBadPayloadTest : public ::testing::TestWithParam<BadPayloadCase> {};

// list and unpack refuse what the launcher would refuse, and unpack writes
// nothing, not even its target folder.
TEST_P(KwzBadPayloadTest, ListAndUnpackRefuseIt)
{
    CTempFolder work;
    WriteFileBytes(work / "p.kwz", GetParam().payload());
    const KwzResult list = RunKwz({"list", work / "p.kwz"});
    EXPECT_EQ(1, list.code);
    EXPECT_TRUE(Contains(list.err, "kwz: " + work / "p.kwz")) << list.err;
    EXPECT_TRUE(Contains(list.err, GetParam().message)) << list.err;
    EXPECT_EQ("", list.out);

    const KwzResult unpack = RunKwz({"unpack", work / "p.kwz", work / "out/deeper"});
    EXPECT_EQ(1, unpack.code);
    EXPECT_TRUE(Contains(unpack.err, GetParam().message)) << unpack.err;
    EXPECT_EQ(std::vector<std::string>{"p.kwz"}, FolderNames(work.Path()));
}

const BadPayloadCase kBadPayloads[] = {
    {"CutStream",
     [] {
         const std::string payload = PayloadOf({{"a.txt", SeededBytes(3000, 5)}});
         return payload.substr(0, payload.size() / 2);
     },
     ": the payload is cut short: Unexpected end of file reached."},
    {"Signature", [] { return Compressed(std::string("KwoIncorporated.Archive.kwar", 29) + std::string(8, '\0')); },
     " is neither a payload nor a setup program: decoded, it does not start with the archive signature"},
    {"TextFile", [] { return std::string("a text file\n"); },
     " is neither a payload nor a setup program: decoded, it does not start with the archive signature"},
    {"Zeros", [] { return std::string(4096, '\0'); }, " is neither a payload nor a setup program: it decodes to nothing"},
    {"EmptyFile", [] { return std::string(); }, " is neither a payload nor a setup program: it is empty"},
    {"HeaderCut", [] { return Compressed(ArchiveImages::Signature() + "1234"); },
     "Archive is corrupted. (the header runs past the end of the image)"},
    {"ParentFolderName", [] { return PayloadOf({{"ok.txt", "fine"}, {"..\\evil.exe", "MZ"}}); },
     "Archive is corrupted. (entry 1: \"..\\x5Cevil.exe\": the name holds a folder separator)"},
    {"DataOutside",
     [] {
         std::string image = ArchiveImages::Canonical({{"a", "1234"}});
         ArchiveImages::PutU32(image, 37 + 4 + 2, 5);
         return Compressed(image);
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
