// Version information: the KEY=VALUE file, --set, and the resource bytes,
// held to what windres writes for the same values.
#include "tools/kwz/pe/VersionInfo.h"

#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

namespace {

// The values of VersionProbe.rc, as a vendor's file would give them.
const char kProbeValues[] =
    "\xEF\xBB\xBF# Example's version information\r\n"
    "CompanyName = Example Ltd\r\n"
    "FileDescription=Example Setup\n"
    "FileVersion=2.4.1.7\n"
    "\n"
    "; the rest in another order than the resource's\n"
    "SpecialBuild=abc\n"
    "PrivateBuild=ab\n"
    "Comments=odd\n"
    "ProductVersion=2.4\n"
    "ProductName=Example\n"
    "OriginalFilename=ExampleSetup.exe\n"
    "LegalTrademarks=Example is a trademark\n"
    "LegalCopyright=Copyright (c) 2026 Example Ltd\n"
    "   InternalName\t=  setup  \n";

TEST(PeVersionInfoTest, BuiltLikeWindresBuildsIt)
{
    for (const PeTest::CFixtureSet& set : PeTest::FixtureSets()) {
        const CPeImage probe(ReadFileBytes(set / "probe-version.exe"), "probe-version.exe");
        const CResourceTree tree = ReadResourceTree(probe);
        const CResourceData* windres =
            FindResource(tree, CResourceId::Number(kVersionType), CResourceId::Number(kVersionName));
        ASSERT_NE(nullptr, windres) << set.label;
        EXPECT_EQ(windres->bytes, BuildVersionInfo(ParseVersionInfoFile(kProbeValues, "example.txt"))) << set.label;
    }
}

TEST(PeVersionInfoTest, SettingsOverrideTheFileAndVersionsStandInForEachOther)
{
    CVersionInfo info = ParseVersionInfoFile("ProductVersion=3.1\nCompanyName=Old\nComments=gone soon\n", "v.txt");
    EXPECT_EQ((std::array<uint16_t, 4>{3, 1, 0, 0}), info.FileVersion());
    EXPECT_EQ((std::array<uint16_t, 4>{3, 1, 0, 0}), info.ProductVersion());
    info.SetAssignment("CompanyName=New Ltd", "--set");
    info.SetAssignment("Comments=", "--set");
    info.SetAssignment("FileVersion = 65535.0.7", "--set");
    EXPECT_EQ((std::map<std::string, std::string>{
                  {"CompanyName", "New Ltd"}, {"FileVersion", "65535.0.7"}, {"ProductVersion", "3.1"}}),
              info.Values());
    EXPECT_EQ((std::array<uint16_t, 4>{65535, 0, 7, 0}), info.FileVersion());
    EXPECT_EQ((std::array<uint16_t, 4>{3, 1, 0, 0}), info.ProductVersion());
    EXPECT_EQ((std::array<uint16_t, 4>{0, 0, 0, 0}), CVersionInfo().FileVersion());

    // The binary versions, most significant word first, in the fixed info
    // after the 40-byte root header and key.
    const std::string bytes = BuildVersionInfo(info);
    EXPECT_EQ(0xFEEF04BDu, Pe::Get32(bytes, 40));
    EXPECT_EQ(0xFFFF0000u, Pe::Get32(bytes, 48));
    EXPECT_EQ(0x00070000u, Pe::Get32(bytes, 52));
    EXPECT_EQ(0x00030001u, Pe::Get32(bytes, 56));
}

TEST(PeVersionInfoTest, TextBeyondAsciiIsStoredAsUtf16)
{
    CVersionInfo info;
    info.Set("ProductName", "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xF0\x9D\x84\x9E", "--set");
    const std::string bytes = BuildVersionInfo(info);
    // G r ö ß e, blank, €, blank, U+1D11E as a surrogate pair, NUL.
    const std::string expected("G\0r\0\xF6\0\xDF\0" "e\0 \0\xAC\x20 \0\x34\xD8\x1E\xDD\0\0", 22);
    EXPECT_NE(std::string::npos, bytes.find(expected));
}

struct CBadSetting {
    const char* text;
    const char* message;
};

TEST(PeVersionInfoTest, MistakesAreNamedWithTheirLine)
{
    for (const CBadSetting& c : {
             CBadSetting{"CompanyName=A\nProductNmae=B\n", "v.txt:2: unknown key 'ProductNmae'; the keys are CompanyName"},
             CBadSetting{"Comments=a\n\nComments=b\n", "v.txt:3: Comments is given twice (first on line 1)"},
             CBadSetting{"# fine\nProductName Example\n", "v.txt:2: 'ProductName Example' is not KEY=VALUE"},
             CBadSetting{"FileVersion=2.4 beta\n", "v.txt:1: FileVersion '2.4 beta' is not a version"},
             CBadSetting{"ProductVersion=1.2.3.4.5\n", "is not a version"},
             CBadSetting{"ProductVersion=65536\n", "is not a version"},
             CBadSetting{"ProductVersion=1..2\n", "is not a version"},
             CBadSetting{"CompanyName=Caf\xE9\n", "v.txt:1: the value of CompanyName is not UTF-8 text"},
             CBadSetting{"CompanyName=\xED\xA0\x80\n", "not UTF-8"},   // a surrogate
             CBadSetting{"CompanyName=\xC0\xAF\n", "not UTF-8"},       // an overlong form
         }) {
        const std::string message = RaisedMessage([&] { ParseVersionInfoFile(c.text, "v.txt"); });
        EXPECT_NE(std::string::npos, message.find(c.message)) << c.text << " gave: " << message;
    }
    EXPECT_NE(std::string::npos,
              RaisedMessage([] { CVersionInfo().SetAssignment("Version=1", "--set Version=1"); })
                  .find("--set Version=1: unknown key 'Version'"));
}

}  // namespace
