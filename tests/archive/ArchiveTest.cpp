#include "archive/Archive.h"

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveName.h"

#include "base/FolderPath.h"
#include "base/KwoException.h"
#include "tests/archive/ArchiveImages.h"
#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

using namespace ArchiveImages;

namespace {

typedef std::vector<std::pair<std::string, std::string>> Files;

// An image in a heap block of exactly its length, so that the sanitizers see
// any read past its end.
std::vector<uint8_t> Bytes(const std::string& image)
{
    return std::vector<uint8_t>(image.begin(), image.end());
}

TEST(ArchiveTest, WorkedExampleExtractsWithOrWithoutTrailingSeparator)
{
    const std::string data = SeededBytes(1000, 7);
    const std::string image = Canonical({{"setup.exe", data}});
    ASSERT_EQ(1059u, image.size());
    ASSERT_EQ(U32(59), image.substr(29, 4));
    const std::vector<uint8_t> bytes = Bytes(image);
    CArchive archive;
    archive.Load(bytes.data(), bytes.size());
    ASSERT_EQ(1u, archive.GetEntryCount());
    EXPECT_EQ("setup.exe", archive.GetEntry(0).name);
    EXPECT_EQ(1000u, archive.GetEntry(0).size);
    // In place: the one chunk points at offset 59 of the image.
    ASSERT_EQ(1u, archive.GetEntry(0).chunks.size());
    EXPECT_EQ(bytes.data() + 59, archive.GetEntry(0).chunks[0]->data);

    for (const std::string& suffix : {std::string(), std::string(1, kNativeSeparator)}) {
        CTempFolder folder;
        archive.ExtractEntry(0, (folder.Path() + suffix).c_str());
        EXPECT_EQ(data, ReadFileBytes(folder / "setup.exe")) << "folder suffix '" << suffix << "'";
        EXPECT_EQ(std::vector<std::string>{"setup.exe"}, FolderNames(folder.Path()));
    }
}

struct AcceptedCase {
    const char* what;
    Files expected;                              // name, content
    std::function<std::string(const Files&)> image;  // of expected; null: Canonical
};

class ArchiveAcceptTest : public ::testing::TestWithParam<AcceptedCase> {};

TEST_P(ArchiveAcceptTest, LoadsAndExtractsAsStored)
{
    const Files& expected = GetParam().expected;
    const std::vector<uint8_t> bytes = Bytes(GetParam().image ? GetParam().image(expected) : Canonical(expected));
    CArchive archive;
    archive.Load(bytes.data(), bytes.size());
    ASSERT_EQ(expected.size(), archive.GetEntryCount());
    CTempFolder folder;
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        EXPECT_EQ(expected[i].first, archive.GetEntry(i).name);
        EXPECT_EQ(expected[i].second.size(), archive.GetEntry(i).size);
        archive.ExtractEntry(i, folder.Path().c_str());
        EXPECT_EQ(expected[i].second, ReadFileBytes(folder / archive.GetEntry(i).name));
    }
}

std::string SharedAndUnordered(const Files&)
{
    // Three records: b's data first, then a's, and c shares a's bytes.
    std::string image = Signature() + U32(0xDEADBEEF) + U32(3);
    const uint32_t dataAt = 37 + 3 * 14;
    image += U32(2) + "a" + '\0' + U32(3) + U32(dataAt + 2);
    image += U32(2) + "b" + '\0' + U32(2) + U32(dataAt);
    image += U32(2) + "c" + '\0' + U32(3) + U32(dataAt + 2);
    return image + "BBAAA";
}

const AcceptedCase kAccepted[] = {
    {"EmptyDirectory", {}, nullptr},
    {"DirectoryEndIgnored", {{"a.txt", "hello"}},
     [](const Files& files) {
         std::string image = Canonical(files);
         PutU32(image, 29, 0xFFFFFFFF);
         return image;
     }},
    {"BytesAfterTheNameNul", {{"a.txt", "xyz"}},
     [](const Files&) {
         // Name length 12: "a.txt", NUL, six more bytes; size follows them.
         return Signature() + U32(61) + U32(1) + U32(12) + std::string("a.txt\0junk!!", 12) + U32(3) + U32(61) +
                "xyz";
     }},
    {"SharedAndUnorderedData", {{"a", "AAA"}, {"b", "BB"}, {"c", "AAA"}}, SharedAndUnordered},
    {"EmptyFileAtTheVeryEnd", {{"x", "12"}, {"empty", ""}}, nullptr},
    {"NamesThatOnlyLookSpecial",
     {{"console.txt", "1"}, {"COM10", "2"}, {"nul_", "3"}, {"LPT0", "4"}, {"a..b", "5"}, {".profile", "6"},
      {"CONx.txt", "7"}, {"del\x7F.txt", "8"}, {" leading blank", "9"}},
     nullptr},
    // Windows would write both to one file: the later entry's bytes remain.
    {"NamesDifferingInLetterCase", {{"README.TXT", "first"}, {"Readme.txt", "second"}}, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Table, ArchiveAcceptTest, ::testing::ValuesIn(kAccepted),
                         [](const ::testing::TestParamInfo<AcceptedCase>& param) { return param.param.what; });

struct RejectedCase {
    const char* what;
    std::function<std::string()> image;
};

class ArchiveRejectTest : public ::testing::TestWithParam<RejectedCase> {};

TEST_P(ArchiveRejectTest, RaisesCorruptedAndKeepsNothing)
{
    const std::vector<uint8_t> bytes = Bytes(GetParam().image());
    CArchive archive;
    std::unique_ptr<CKwoException> e = Raised([&] { archive.Load(bytes.data(), bytes.size()); });
    ASSERT_TRUE(e) << "accepted";
    EXPECT_EQ("ArchiveError", e->Category());
    EXPECT_EQ(0u, e->MessageText().find("Archive is corrupted.\n\tNested error [Win32] ")) << e->MessageText();
    EXPECT_EQ(0u, archive.GetEntryCount());
}

// A good image of two entries with one field changed.
std::string TwoWith(const std::function<void(std::string&)>& change)
{
    std::string image = Canonical({{"a.txt", "hello"}, {"b.bin", "world!"}});
    change(image);
    return image;
}

// A one-entry image whose name is name, data "x".
std::function<std::string()> Named(const std::string& name)
{
    return [name] { return Canonical({{"ok.txt", "1"}, {name, "x"}}); };
}

const size_t kSecond = 37 + 12 + 6;  // record 1 of TwoWith

const RejectedCase kRejected[] = {
    {"Empty", [] { return std::string(); }},
    {"ShorterThanTheSignature", [] { return Signature().substr(0, 20); }},
    {"Byte28NotNul", [] { return TwoWith([](std::string& i) { i[28] = 'X'; }); }},
    {"SignatureInOtherCase", [] { return TwoWith([](std::string& i) { i[3] = 'i'; }); }},
    {"HeaderCutShort", [] { return Canonical({}).substr(0, 36); }},
    {"CountBeyondTheImage", [] { return TwoWith([](std::string& i) { PutU32(i, 33, 3); }); }},
    {"CountThatCannotFit", [] { return TwoWith([](std::string& i) { PutU32(i, 33, 0xFFFFFFFF); }); }},
    {"NameLengthZero", [] { return TwoWith([](std::string& i) { PutU32(i, kSecond, 0); }); }},
    {"NameLengthPastTheEnd", [] { return TwoWith([](std::string& i) { PutU32(i, kSecond, 0xFFFFFFF0); }); }},
    {"RecordCutInItsSizeField", [] { return Canonical({{"a.txt", ""}}).substr(0, 37 + 4 + 6 + 3); }},
    {"SizeOneBeyondTheEnd", [] { return TwoWith([](std::string& i) { PutU32(i, kSecond + 10, 7); }); }},
    {"NameWithoutNul", [] { return TwoWith([](std::string& i) { i[kSecond + 4 + 5] = 'X'; }); }},
    {"OffsetPastTheEnd", [] { return TwoWith([](std::string& i) { PutU32(i, kSecond + 10 + 4, 0x7FFFFFFF); }); }},
    {"OffsetPlusSizeWraps",
     [] {
         return TwoWith([](std::string& i) {
             PutU32(i, kSecond + 10, 0xFFFFFFF0);
             PutU32(i, kSecond + 14, 0x20);
         });
     }},
    {"EmptyName", Named("")},
    {"Dot", Named(".")},
    {"DotDot", Named("..")},
    {"DotsAndBlanks", Named(". .")},
    {"Backslash", Named("a\\b")},
    {"AbsoluteSlash", Named("/etc/passwd")},
    {"DriveLetter", Named("C:evil.exe")},
    {"ControlCharacter", Named("a\x01.txt")},
    {"Wildcard", Named("a*.txt")},
    {"ConLowerWithExtension", Named("con.txt")},
    {"NulMixedCase", Named("nUl")},
    {"AuxBlankBeforeExtension", Named("aux .log")},
    {"Com9Extension", Named("com9.dat")},
    {"ComSuperscript", Named("COM\xB9")},
    {"ConOut", Named("CONOUT$")},
    {"TrailingDot", Named("notes.")},
    {"TrailingDots", Named("a..")},
    {"TrailingBlank", Named("notes ")},
    {"ExtensionThenBlank", Named("a.txt ")},
    {"DelInTheMiddleButDotAtTheEnd", Named("a\x7F.")},
};

INSTANTIATE_TEST_SUITE_P(Table, ArchiveRejectTest, ::testing::ValuesIn(kRejected),
                         [](const ::testing::TestParamInfo<RejectedCase>& param) { return param.param.what; });

// Windows reserves COM1 to COM9 and LPT1 to LPT9 (and the superscript digits
// 1, 2 and 3 of code page 1252) whatever the case and whatever follows a dot.
TEST(ArchiveNameTest, EveryNumberedDeviceIsRefusedInEverySpelling)
{
    for (const char* prefix : {"COM", "LPT", "com", "Lpt"}) {
        for (const char* digit : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "\xB9", "\xB2", "\xB3"}) {
            for (const char* tail : {"", ".txt", " .log", ".tar.gz"}) {
                const std::string name = std::string(prefix) + digit + tail;
                EXPECT_STREQ("the name is reserved for a device on Windows", FileNameProblem(name)) << name;
            }
        }
    }
    for (const char* name : {"COM0", "LPT0", "COM10", "COM", "LPT1x", "xCOM1"})
        EXPECT_EQ(nullptr, FileNameProblem(name)) << name;
}

struct DirectoryProblemCase {
    const char* what;
    std::function<std::string()> image;
    const char* problem;  // what ReadArchiveDirectory says, and kwz list with it
};

class ArchiveDirectoryProblemTest : public ::testing::TestWithParam<DirectoryProblemCase> {};

// Every cut of a record is caught by its own check, not by a later one that
// happens to fail on the bytes read past the end.
TEST_P(ArchiveDirectoryProblemTest, NamesTheFault)
{
    const std::vector<uint8_t> bytes = Bytes(GetParam().image());
    std::vector<ArchiveRecord> records;
    std::string problem;
    EXPECT_FALSE(ReadArchiveDirectory(bytes.data(), bytes.size(), records, problem));
    EXPECT_EQ(GetParam().problem, problem);
    EXPECT_TRUE(records.empty());
}

// Two records of no data, "a" (at 37, its offset at 47 set to 0 so that it
// passes) and "abcdefghij.txt": its name length at 51, name at 55, size at 70
// and offset at 74 to 77. The entry count check lets every cut from 65 bytes
// on through to the record's own checks.
std::function<std::string()> SecondRecordCutAt(size_t length)
{
    return [length] {
        std::string image = Canonical({{"a", ""}, {"abcdefghij.txt", ""}});
        PutU32(image, 47, 0);
        return image.substr(0, length);
    };
}

const DirectoryProblemCase kDirectoryProblems[] = {
    {"CutInTheName", SecondRecordCutAt(66), "entry 1: the record runs past the end of the image"},
    {"CutInTheSize", SecondRecordCutAt(72), "entry 1: the record runs past the end of the image"},
    {"CutInTheOffset", SecondRecordCutAt(76), "entry 1: the record runs past the end of the image"},
    {"CutOneByteShort", SecondRecordCutAt(77), "entry 1: the record runs past the end of the image"},
    {"NameLengthZero", [] { return TwoWith([](std::string& i) { PutU32(i, kSecond, 0); }); },
     "entry 1: the name length is 0"},
    {"NameWithoutNul", [] { return TwoWith([](std::string& i) { i[kSecond + 4 + 5] = 'X'; }); },
     "entry 1: the name field holds no NUL"},
    {"DataOneBeyondTheEnd", [] { return TwoWith([](std::string& i) { PutU32(i, kSecond + 10, 7); }); },
     "entry 1: \"b.bin\": the data lie outside the image"},
    {"BadName", Named("a?b"), "entry 1: \"a?b\": the name holds a character Windows does not allow in file names"},
    {"CountThatCannotFit", [] { return TwoWith([](std::string& i) { PutU32(i, 33, 0xFFFFFFFF); }); },
     "the entry count 4294967295 cannot fit in the image"},
    {"SignatureCut", [] { return Signature().substr(0, 28); }, "the signature does not match"},
};

INSTANTIATE_TEST_SUITE_P(Table, ArchiveDirectoryProblemTest, ::testing::ValuesIn(kDirectoryProblems),
                         [](const ::testing::TestParamInfo<DirectoryProblemCase>& param) { return param.param.what; });

// Loads a Canonical image of files and extracts every entry into folder.
void ExtractAll(const Files& files, const std::string& folder)
{
    const std::vector<uint8_t> bytes = Bytes(Canonical(files));
    CArchive archive;
    archive.Load(bytes.data(), bytes.size());
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i)
        archive.ExtractEntry(i, folder.c_str());
}

TEST(ArchiveExtractTest, ExistingFilesAreTruncatedAndTheLaterEntryWins)
{
    CTempFolder folder;
    WriteFileBytes(folder / "empty", "old contents");
    WriteFileBytes(folder / "big", SeededBytes(5000, 1));
    ExtractAll({{"empty", ""}, {"big", "short"}, {"twice", "first, longer"}, {"twice", "second"}}, folder.Path());
    EXPECT_TRUE(FileExists(folder / "empty"));
    EXPECT_EQ("", ReadFileBytes(folder / "empty"));
    EXPECT_EQ("short", ReadFileBytes(folder / "big"));
    EXPECT_EQ("second", ReadFileBytes(folder / "twice"));
}

// Both open failures: the folder is missing, or a folder of the entry's name
// stands where the file would go.
TEST(ArchiveExtractTest, OpenFailureReportsFailbit)
{
    CTempFolder folder;
    std::filesystem::create_directory(folder / "a.txt");
    for (const std::string& target : {folder / "missing", folder.Path()}) {
        std::unique_ptr<CKwoException> e = Raised([&] { ExtractAll({{"a.txt", "data"}}, target); });
        ASSERT_TRUE(e) << target;
        EXPECT_EQ("ArchiveError", e->Category());
        EXPECT_EQ("Error while extracting file from archive. Details: ios_base::failbit set", e->MessageText());
    }
}

// libstdc++'s own texts ("basic_ios::clear: iostream error", "std::bad_alloc")
// are not the ones the system reports.
TEST(ArchiveExtractTest, FailureDetailsAreTheSystemsTexts)
{
    const std::ios_base::failure streamFailure("x");
    EXPECT_EQ("ios_base::failbit set", ExtractionFailureDetails(streamFailure, std::ios_base::failbit));
    EXPECT_EQ("ios_base::badbit set",
              ExtractionFailureDetails(streamFailure, std::ios_base::failbit | std::ios_base::badbit));
    EXPECT_EQ("bad allocation", ExtractionFailureDetails(std::bad_alloc(), std::ios_base::goodbit));
    EXPECT_EQ("name too long", ExtractionFailureDetails(std::length_error("name too long"), std::ios_base::goodbit));
}

}  // namespace
