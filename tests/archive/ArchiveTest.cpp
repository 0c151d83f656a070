#include "archive/Archive.h"

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
     {{"console.txt", "1"}, {"COM10", "2"}, {"nul_", "3"}, {"LPT0", "4"}, {"a..", "5"}, {".profile", "6"},
      {"CONx.txt", "7"}},
     nullptr},
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
};

INSTANTIATE_TEST_SUITE_P(Table, ArchiveRejectTest, ::testing::ValuesIn(kRejected),
                         [](const ::testing::TestParamInfo<RejectedCase>& param) { return param.param.what; });

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
