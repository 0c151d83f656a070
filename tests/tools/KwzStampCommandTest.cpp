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
    const std::string first = PayloadOf({{"KwoWardenInstaller.exe", "MZ first"}});
    WriteFileBytes(dir / "payload.kwz", first);
    const KwzResult run = RunKwz({"stamp", Fixture("probe-stripped.exe"), dir / "payload.kwz", dir / "setup.exe"});
    ASSERT_EQ(0, run.code) << run.err;
    EXPECT_EQ(first, ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
    EXPECT_EQ((std::vector<std::string>{"payload.kwz", "setup.exe"}), FolderNames(dir.Path()));
    // The probe has the class name but none of the bar's bitmaps: no launcher.
    EXPECT_TRUE(Contains(run.err, "warning: " + Fixture("probe-stripped.exe") + " lacks the launcher's resources "
                                  "(the progress bar's bitmaps (missing: 129, 130, 131, 132, 133, 134))"))
        << run.err;
    const std::string totals = "1 entry, image " + std::to_string(ArchiveImages::Canonical({{"KwoWardenInstaller.exe", "MZ first"}}).size()) +
                               " bytes, payload " + std::to_string(first.size()) + " bytes";
    // The totals, after the program and the kind of launcher it holds.
    EXPECT_TRUE(Contains(run.err, "kwz: " + (dir / "setup.exe") + " (x")) << run.err;
    EXPECT_TRUE(Contains(run.err, "): " + totals + ", ratio ")) << run.err;

    // The output may replace the stub itself.
    const std::string second = PayloadOf({{"KwoWardenInstaller.exe", "MZ second"}, {"b", ""}});
    WriteFileBytes(dir / "again.kwz", second);
    ASSERT_EQ(0, RunKwz({"stamp", "-q", dir / "setup.exe", dir / "again.kwz", dir / "setup.exe"}).code);
    EXPECT_EQ(second, ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
    EXPECT_EQ((std::vector<std::string>{"again.kwz", "payload.kwz", "setup.exe"}), FolderNames(dir.Path()));
}

// A program without any resource is named for what it lacks.
TEST(KwzStampCommandTest, ProgramWithoutTheLaunchersResourcesIsStampedWithAWarning)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", PayloadOf({{"KwoWardenInstaller.exe", "MZ"}}));
    const KwzResult run = RunKwz({"stamp", "-q", Fixture("probe-bare.exe"), dir / "payload.kwz", dir / "setup.exe"});
    ASSERT_EQ(0, run.code) << run.err;
    EXPECT_TRUE(Contains(run.err, "lacks the launcher's resources (string 109 holding the window class name "
                                  "KWOINC.KWOWARDEN.SETUP.20; the progress bar's bitmaps"))
        << run.err;
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

struct RefusedPayloadCase {
    const char* what;
    std::string (*payload)();
    const char* message;  // after "kwz: PATH"
};

class KwzStampRefusedPayloadTest : public ::testing::TestWithParam<RefusedPayloadCase> {};

// The payload is checked as the launcher will check it, and what is no
// payload is called what it is; nothing is written.
TEST_P(KwzStampRefusedPayloadTest, IsRefusedAndNothingWritten)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", GetParam().payload());
    const KwzResult run = RunKwz({"stamp", "-q", Fixture("probe-stripped.exe"), dir / "payload.kwz", dir / "out.exe"});
    EXPECT_EQ(1, run.code);
    EXPECT_TRUE(Contains(run.err, "kwz: " + (dir / "payload.kwz") + GetParam().message)) << run.err;
    EXPECT_EQ(std::vector<std::string>{"payload.kwz"}, FolderNames(dir.Path()));
}

const RefusedPayloadCase kRefusedPayloads[] = {
    {"TextFile", [] { return std::string("just a host name\n"); },
     " is neither a payload nor a setup program: decoded, it does not start with the archive signature"},
    {"Zeros", [] { return std::string(1 << 16, '\0'); }, " is neither a payload nor a setup program: it decodes to nothing"},
    {"Empty", [] { return std::string(); }, " is neither a payload nor a setup program: it is empty"},
    {"TooShortForAByte", [] { return std::string("ab"); },
     " is neither a payload nor a setup program: it ends before a byte of it decodes"},
    {"CutShort", [] { return PayloadOf({{"a", SeededBytes(5000, 1)}}).substr(0, 100); },
     ": the payload is cut short: Unexpected end of file reached."},
    {"DeviceName", [] { return PayloadOf({{"KwoWardenInstaller.exe", "MZ"}, {"nul.txt", ""}}); },
     ": Archive is corrupted. (entry 1: \"nul.txt\": the name is reserved for a device on Windows)"},
    {"SetupProgram",
     [] {
         return StampSetupProgram(ReadFileBytes(Fixture("probe-stripped.exe")), "stub",
                                  PayloadOf({{"KwoWardenInstaller.exe", "MZ"}}), nullptr);
     },
     " is a setup program, not a payload. To put its payload into another stub, take its files out first (kwz "
     "unpack"},
    {"OtherProgram", [] { return ReadFileBytes(Fixture("probe-bare.exe")); }, " is a Windows program, not a payload"},
};

INSTANTIATE_TEST_SUITE_P(Table, KwzStampRefusedPayloadTest, ::testing::ValuesIn(kRefusedPayloads),
                         [](const ::testing::TestParamInfo<RefusedPayloadCase>& param) { return param.param.what; });

TEST(KwzStampCommandTest, MissingInputsAndWrongUsageWriteNothing)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", PayloadOf({{"a", "b"}}));
    const KwzResult noStub = RunKwz({"stamp", dir / "no-such.exe", dir / "payload.kwz", dir / "out.exe"});
    EXPECT_EQ(1, noStub.code);
    EXPECT_TRUE(Contains(noStub.err, "kwz: cannot open " + (dir / "no-such.exe") + ": ")) << noStub.err;
    const KwzResult noPayload = RunKwz({"stamp", Fixture("probe-stripped.exe"), dir / "none.kwz", dir / "out.exe"});
    EXPECT_EQ(1, noPayload.code);
    // The system's own reason, in one line, with no platform label.
    const std::string opening = "kwz: cannot open " + (dir / "none.kwz") + ": ";
    ASSERT_TRUE(Contains(noPayload.err, opening)) << noPayload.err;
    const std::string reason = noPayload.err.substr(noPayload.err.find(opening) + opening.size());
    EXPECT_TRUE(reason.size() > 1 && reason.find('\n') == reason.size() - 1) << reason;
    EXPECT_FALSE(Contains(noPayload.err, "[Win32]")) << noPayload.err;
    const KwzResult twoArgs = RunKwz({"stamp", Fixture("probe-stripped.exe"), dir / "payload.kwz"});
    EXPECT_EQ(2, twoArgs.code);
    EXPECT_TRUE(Contains(twoArgs.err, "stamp takes 3 arguments")) << twoArgs.err;
    EXPECT_EQ((std::vector<std::string>{"payload.kwz"}), FolderNames(dir.Path()));
}

}  // namespace
