// kwz stamp --icon, --version-info and --set as commands: what they write,
// and what they refuse before anything is written.
#include "tools/kwz/pe/IconGroup.h"
#include "tools/kwz/pe/SetupProgram.h"
#include "tools/kwz/pe/VersionInfo.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/IconFiles.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

namespace {

class PeStampIdentityTest : public testing::Test {
protected:
    void SetUp() override
    {
        WriteFileBytes(dir / "payload.kwz", "PAYLOAD");
        WriteFileBytes(dir / "icon.ico", PeTest::SolidIconFile({{16, 0x102030}, {32, 0x405060}}));
        WriteFileBytes(dir / "version.txt", "ProductName=Example\nFileVersion=1.2\nComments=file\n");
    }

    KwzResult Stamp(std::vector<std::string> options)
    {
        for (const std::string& operand : {stub, dir / "payload.kwz", dir / "out.exe"})
            options.push_back(operand);
        options.insert(options.begin(), "stamp");
        return RunKwz(options);
    }

    CTempFolder dir;
    const std::string stub = PeTest::Fixture("probe-version.exe");
};

TEST_F(PeStampIdentityTest, IconAndVersionInformationGoInWithTheSettingsLast)
{
    const KwzResult run = Stamp({"--set", "Comments=set", "--icon", dir / "icon.ico", "--version-info=" + (dir / "version.txt"),
                                 "--set=ProductName=", "-q"});
    ASSERT_EQ(0, run.code) << run.err;
    const std::string out = ReadFileBytes(dir / "out.exe");
    const CResourceTree tree = ReadResourceTree(CPeImage(out, "out"));

    CVersionInfo expected;
    expected.Set("FileVersion", "1.2", "test");
    expected.Set("Comments", "set", "test");
    const CResourceData* version = FindResource(tree, CResourceId::Number(kVersionType), CResourceId::Number(1));
    ASSERT_NE(nullptr, version);
    EXPECT_EQ(BuildVersionInfo(expected), version->bytes);
    EXPECT_EQ(1033u, version->language.number);  // the fixture's own
    const CResourceData* group = FindResource(tree, CResourceId::Number(kIconGroupType), CResourceId::Number(108));
    ASSERT_NE(nullptr, group);
    EXPECT_EQ((std::vector<uint32_t>{1, 2}), IconGroupMembers(group->bytes));
    EXPECT_EQ("PAYLOAD", ReadSetupPayload(out, "out"));

    // The same options in another order give the same bytes.
    ASSERT_EQ(0, Stamp({"-q", "--version-info", dir / "version.txt", "--set", "ProductName=", "--icon", dir / "icon.ico",
                        "--set", "Comments=set"}).code);
    EXPECT_TRUE(ReadFileBytes(dir / "out.exe") == out);
}

TEST_F(PeStampIdentityTest, MistakesAreRefusedAndNothingIsWritten)
{
    WriteFileBytes(dir / "broken.ico", "not an icon");
    WriteFileBytes(dir / "typo.txt", "ProductName=Example\nCompanyNmae=Example Ltd\n");
    struct Case {
        std::vector<std::string> options;
        int code;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {{"--set", "ProductName=X"}, 2, "--set overrides keys of --version-info FILE"},
             {{"--icon", dir / "icon.ico", "--icon", dir / "icon.ico"}, 2, "--icon is given 2 times"},
             {{"--version-info"}, 2, "stamp takes 3 arguments, 2 given"},  // the stub taken for the file
             {{"--icon", dir / "broken.ico"}, 1, dir / "broken.ico" + ": not an icon file (.ico)"},
             {{"--icon", dir / "none.ico"}, 1, "Unable to open " + (dir / "none.ico")},
             {{"--version-info", dir / "typo.txt"}, 1, dir / "typo.txt" + ":2: unknown key 'CompanyNmae'"},
             {{"--version-info", dir / "version.txt", "--set", "FileVersion=one"}, 1,
              "--set FileVersion=one: FileVersion 'one' is not a version"},
         }) {
        const KwzResult run = Stamp(c.options);
        EXPECT_EQ(c.code, run.code) << c.message;
        EXPECT_TRUE(Contains(run.err, c.message)) << c.message << " not in: " << run.err;
        EXPECT_FALSE(FileExists(dir / "out.exe")) << c.message;
    }
}

}  // namespace
