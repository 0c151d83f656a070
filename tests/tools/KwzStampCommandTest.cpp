// kwz stamp as a command: arguments, files, messages.
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

using PeTest::Fixture;

namespace {

TEST(KwzStampCommandTest, WritesTheStubWithThePayloadReplacingAnyOlderOne)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", "some payload");
    const KwzResult run = RunKwz({"stamp", Fixture("probe-stripped.exe"), dir / "payload.kwz", dir / "setup.exe"});
    ASSERT_EQ(0, run.code);
    EXPECT_EQ("", run.err);
    EXPECT_EQ("some payload", ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
    EXPECT_EQ((std::vector<std::string>{"payload.kwz", "setup.exe"}), FolderNames(dir.Path()));

    // The output may replace the stub itself; an empty payload is stamped, with a warning.
    WriteFileBytes(dir / "again.kwz", "another payload");
    ASSERT_EQ(0, RunKwz({"stamp", dir / "setup.exe", dir / "again.kwz", dir / "setup.exe"}).code);
    EXPECT_EQ("another payload", ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
    WriteFileBytes(dir / "empty.kwz", "");
    const KwzResult empty = RunKwz({"stamp", dir / "setup.exe", dir / "empty.kwz", dir / "setup.exe"});
    ASSERT_EQ(0, empty.code);
    EXPECT_TRUE(Contains(empty.err, "warning: " + (dir / "empty.kwz") + " is empty")) << empty.err;
    EXPECT_EQ("", ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
}

// From a folder, the program is the one stamped with the folder's pack; list
// and unpack read it as they read that pack.
TEST(KwzStampCommandTest, FolderIsPackedAsKwzPackWouldPackItAndListAndUnpackReadTheProgram)
{
    CTempFolder product;
    FillPayloadFolder(product.Path());
    CTempFolder dir;
    ASSERT_EQ(0, RunKwz({"pack", "-q", product.Path(), dir / "payload.kwz"}).code);
    ASSERT_EQ(0, RunKwz({"stamp", "-q", Fixture("probe-payload.exe"), dir / "payload.kwz", dir / "setup.exe"}).code);
    const KwzResult fromFolder =
        RunKwz({"stamp", "-q", Fixture("probe-payload.exe"), product.Path(), dir / "from-folder.exe"});
    ASSERT_EQ(0, fromFolder.code) << fromFolder.err;
    EXPECT_EQ("", fromFolder.err);
    EXPECT_TRUE(ReadFileBytes(dir / "setup.exe") == ReadFileBytes(dir / "from-folder.exe"));

    for (const bool json : {false, true}) {
        const std::string format = json ? "--json" : "--quiet";
        const KwzResult fromPayload = RunKwz({"list", format, "-q", dir / "payload.kwz"});
        const KwzResult fromProgram = RunKwz({"list", format, "-q", dir / "setup.exe"});
        ASSERT_EQ(0, fromProgram.code) << fromProgram.err;
        EXPECT_FALSE(fromPayload.out.empty());
        EXPECT_EQ(fromPayload.out, fromProgram.out);
    }
    ASSERT_EQ(0, RunKwz({"unpack", "-q", dir / "setup.exe", dir / "files"}).code);
    ASSERT_EQ(FolderNames(product.Path()), FolderNames(dir / "files"));
    for (const std::string& name : FolderNames(product.Path()))
        EXPECT_TRUE(ReadFileBytes(product / name) == ReadFileBytes(dir / ("files/" + name))) << name;

    // A program without a payload says so.
    const KwzResult none = RunKwz({"list", Fixture("probe-bare.exe")});
    EXPECT_EQ(1, none.code);
    EXPECT_TRUE(Contains(none.err, "no resource KWZ/137")) << none.err;

    // Folder errors are pack's, and nothing is written.
    std::filesystem::create_directory(product / "nested");
    const KwzResult bad = RunKwz({"stamp", "-q", Fixture("probe.exe"), product.Path(), dir / "bad.exe"});
    EXPECT_EQ(1, bad.code);
    EXPECT_TRUE(Contains(bad.err, "cannot pack")) << bad.err;
    EXPECT_FALSE(FileExists(dir / "bad.exe"));
}

TEST(KwzStampCommandTest, MissingInputsAndWrongUsageWriteNothing)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", "p");
    const KwzResult noStub = RunKwz({"stamp", dir / "no-such.exe", dir / "payload.kwz", dir / "out.exe"});
    EXPECT_EQ(1, noStub.code);
    EXPECT_TRUE(Contains(noStub.err, "Unable to open " + (dir / "no-such.exe"))) << noStub.err;
    const KwzResult noPayload = RunKwz({"stamp", Fixture("probe-stripped.exe"), dir / "none.kwz", dir / "out.exe"});
    EXPECT_EQ(1, noPayload.code);
    EXPECT_TRUE(Contains(noPayload.err, "Unable to open " + (dir / "none.kwz"))) << noPayload.err;
    const KwzResult twoArgs = RunKwz({"stamp", Fixture("probe-stripped.exe"), dir / "payload.kwz"});
    EXPECT_EQ(2, twoArgs.code);
    EXPECT_TRUE(Contains(twoArgs.err, "stamp takes 3 arguments")) << twoArgs.err;
    EXPECT_EQ((std::vector<std::string>{"payload.kwz"}), FolderNames(dir.Path()));
}

}  // namespace
