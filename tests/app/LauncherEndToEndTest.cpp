// The real launchers, each run as its own process under the same %TEMP%
// folder and single-instance class: these cases never run side by side.
#include "tests/app/LauncherFixture.h"

#include "base/SystemError.h"

#include <algorithm>
#include <cstdio>

namespace {

const std::string kDemoLauncher = DemoLauncher();
const std::string kDemoPayloadFolder = DemoPayloadFolder();

TEST_F(LauncherTest, RunsTheInstallerFromTheExtractionFolderAndRemovesIt)
{
    const LauncherResult result = RunToEnd(kDemoLauncher, Report());
    EXPECT_TRUE(result.boxes.empty()) << result.boxes.front().text;

    const std::vector<std::string> report = ReadReport(Report());
    ASSERT_FALSE(report.empty()) << "the installer never reported";
    EXPECT_EQ(ReportValue(report, "Command line: "), "KwoWardenInstaller.exe");
    // The platform reports the current folder without its trailing backslash.
    const std::string extraction = ExtractionFolderPath();
    EXPECT_EQ(ReportValue(report, "Current folder: "), extraction.substr(0, extraction.size() - 1));
    EXPECT_EQ(ReportedFiles(report), ExpectedFiles(kDemoPayloadFolder));
    EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
    EXPECT_TRUE(PathPresent(LongTemporaryFolder()));

    std::printf("[ figures  ] installer started %lu ms after the launcher; peak working set %lu KiB, "
                "peak private bytes %lu KiB\n",
                static_cast<unsigned long>(result.msToInstallerStart),
                static_cast<unsigned long>(result.peakWorkingSet / 1024),
                static_cast<unsigned long>(result.peakPrivateBytes / 1024));
}

// What waits for the launcher when it starts.
enum class Prepared {
    kNothing,
    kFolderNamedLikeAnEntry,  // a sub-folder of a payload entry's name in the extraction folder
    kHeldLeftover,            // a file held open, without sharing deletion, in the extraction folder
    kNoTemporaryFolder,       // TMP and TEMP name a folder that does not exist
    kHeldFileInTheWay,        // a file held open stands where the extraction folder belongs
};

struct ErrorCase {
    const char* name;
    const char* launcher;   // Unix path from the build
    const char* textStart;  // the error box's text begins with it (kHeld*: then the folder's path)
    bool nestedPart;        // followed by the platform's text
    DWORD nestedCode;       // whose error code, when it is known (else 0)
    Prepared prepared;
};

void PrintTo(const ErrorCase& row, std::ostream* os) { *os << row.name; }

class LauncherErrorTest : public LauncherTest, public ::testing::WithParamInterface<ErrorCase> {
protected:
    void TearDown() override
    {
        if (holder != INVALID_HANDLE_VALUE)
            CloseHandle(holder);
        LauncherTest::TearDown();
    }

    // Opens path so that nobody can delete it while the launcher runs.
    void Hold(const std::string& path)
    {
        holder = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    }

    HANDLE holder = INVALID_HANDLE_VALUE;
};

// Every case starts the launcher in the test folder, beside a sentinel: the
// cleanup after an error that comes before the extraction folder exists must
// not take the current folder for it.
TEST_P(LauncherErrorTest, ShowsOneErrorBoxAndCleansUp)
{
    const ErrorCase& param = GetParam();
    const std::string entry = "settings.ini";
    const std::string leftover = ExtractionFolderPath() + "planted.dll";
    const std::string missing = "C:\\kwo-no-such-temp";
    const std::string place = ExtractionPlace();
    std::string start = param.textStart;
    std::vector<std::pair<std::string, std::string>> environment = {{"KWO_DEMO_SECONDS", "0"}};
    if (param.prepared == Prepared::kFolderNamedLikeAnEntry) {
        ASSERT_TRUE(CreateDirectoryA(place.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA((ExtractionFolderPath() + entry).c_str(), nullptr));
    } else if (param.prepared == Prepared::kHeldLeftover) {
        ASSERT_TRUE(CreateDirectoryA(place.c_str(), nullptr));
        WriteFileBytes(leftover, "planted");
        Hold(leftover);
        start += place;
    } else if (param.prepared == Prepared::kNoTemporaryFolder) {
        environment.push_back({"TMP", missing + "\\sub"});
        environment.push_back({"TEMP", missing + "\\sub"});
    } else if (param.prepared == Prepared::kHeldFileInTheWay) {
        WriteFileBytes(place, "in the way");
        Hold(place);
        start += place;
    }

    const LauncherResult result = RunToEnd(WindowsPath(param.launcher), Report(), environment, 60000, InTestFolder());
    ASSERT_EQ(result.boxes.size(), 1u);
    const ErrorBox& box = result.boxes.front();
    EXPECT_EQ(box.caption, "Kwo Warden Setup");
    EXPECT_EQ(box.text.substr(0, start.size()), start) << box.text;
    const std::string nested = "\n\tNested error [Win32] ";
    if (param.nestedPart) {
        EXPECT_EQ(box.text.compare(start.size(), nested.size(), nested), 0) << box.text;
    }
    if (param.nestedCode != 0) {
        EXPECT_EQ(box.text, start + nested + SystemErrorText(param.nestedCode));
    }
    EXPECT_FALSE(box.installerStartedBefore);
    EXPECT_TRUE(ReadReport(Report()).empty()) << "the installer ran";

    EXPECT_FALSE(PathPresent(missing));
    if (param.prepared == Prepared::kFolderNamedLikeAnEntry) {
        // The files the launcher wrote are gone; the sub-folder stays, and
        // with it the folder.
        EXPECT_EQ(FolderNames(ExtractionFolderPath()), std::vector<std::string>{entry});
    } else if (param.prepared == Prepared::kHeldLeftover) {
        // Nothing was extracted, and nothing was removed after the error.
        EXPECT_EQ(FolderNames(ExtractionFolderPath()), std::vector<std::string>{"planted.dll"});
    } else if (param.prepared == Prepared::kHeldFileInTheWay) {
        EXPECT_EQ(ReadFileBytes(place), "in the way");
        CloseHandle(holder);
        holder = INVALID_HANDLE_VALUE;
        DeleteFileA(place.c_str());
    } else {
        EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
    }
}

// The first five fail in the worker, the next three on the main thread
// before the worker exists, the last when the installer is started.
INSTANTIATE_TEST_SUITE_P(
    Launchers, LauncherErrorTest,
    ::testing::Values(
        ErrorCase{"MissingPayload", KWO_STUB_LAUNCHER, "Archive is missing.", true, ERROR_RESOURCE_TYPE_NOT_FOUND,
                  Prepared::kNothing},
        ErrorCase{"EmptyPayload", KWO_EMPTY_LAUNCHER, "Archive is corrupted.", true, 0, Prepared::kNothing},
        ErrorCase{"BadSignature", KWO_BAD_SIGNATURE_LAUNCHER, "Archive is corrupted.", true, 0, Prepared::kNothing},
        ErrorCase{"TruncatedStream", KWO_TRUNCATED_LAUNCHER, "Unexpected end of file reached.", false, 0,
                  Prepared::kNothing},
        ErrorCase{"FolderNamedLikeAnEntry", KWO_DEMO_LAUNCHER, "Error while extracting file from archive. Details: ",
                  false, 0, Prepared::kFolderNamedLikeAnEntry},
        ErrorCase{"LeftoverHeldOpen", KWO_DEMO_LAUNCHER, "Unable to create directory ", true, ERROR_SHARING_VIOLATION,
                  Prepared::kHeldLeftover},
        ErrorCase{"TemporaryFolderMissing", KWO_DEMO_LAUNCHER, "Unable to convert short path name to long", true, 0,
                  Prepared::kNoTemporaryFolder},
        ErrorCase{"ExtractionFolderIsAFileHeldOpen", KWO_DEMO_LAUNCHER, "Unable to create directory ", true,
                  ERROR_SHARING_VIOLATION, Prepared::kHeldFileInTheWay},
        ErrorCase{"NoInstaller", KWO_NO_INSTALLER_LAUNCHER, "Unable to start installation program.", true,
                  ERROR_FILE_NOT_FOUND, Prepared::kNothing}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(LauncherTest, SecondInstanceEndsAtOnceWhileTheFirstRuns)
{
    // The installer shows its window long enough for a second and a third
    // launcher to meet the first one, visible and then hidden.
    CLauncherRun first(kDemoLauncher, Report(), {{"KWO_DEMO_SECONDS", "4"}});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(first.WatchUntil([&] { return first.ProgressWindow() != nullptr; }));

    EXPECT_TRUE(RunToEnd(kDemoLauncher, folder / "second.txt", {{"KWO_DEMO_SECONDS", "0"}}, 30000).boxes.empty());

    ASSERT_TRUE(first.WatchUntil([&] { return !ReadReport(Report()).empty(); })) << "the installer never ran";
    HWND hidden = first.ProgressWindow();
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden));
    RunToEnd(kDemoLauncher, folder / "third.txt", {{"KWO_DEMO_SECONDS", "0"}}, 30000);
    EXPECT_FALSE(IsWindowVisible(hidden)) << "a hidden window stays hidden";

    const LauncherResult& firstResult = first.WaitForEnd();
    ASSERT_TRUE(firstResult.ended);
    EXPECT_EQ(firstResult.exitCode, 0u);
    EXPECT_TRUE(firstResult.boxes.empty());
    EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
    EXPECT_TRUE(ReadReport(folder / "second.txt").empty());
    EXPECT_TRUE(ReadReport(folder / "third.txt").empty());
}

struct LeftoverCase {
    const char* name;
    const char* variable;
    const char* value;
    const char* leftover;  // stays in the folder after the launcher has ended
};

void PrintTo(const LeftoverCase& row, std::ostream* os) { *os << row.name; }

class LauncherLeftoverTest : public LauncherTest, public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(LauncherLeftoverTest, DeletesWhatItCanAndQuits)
{
    const LeftoverCase& param = GetParam();
    const LauncherResult result = RunToEnd(
        kDemoLauncher, Report(), {{"KWO_DEMO_SECONDS", "0"}, {param.variable, param.value}, {"KWO_DEMO_HOLD_SECONDS", "8"}});
    EXPECT_TRUE(result.boxes.empty());
    ASSERT_FALSE(ReadReport(Report()).empty());

    const std::vector<std::string> left = FolderNames(ExtractionFolderPath());
    EXPECT_NE(std::find(left.begin(), left.end(), param.leftover), left.end());
    for (const auto& file : ExpectedFiles(kDemoPayloadFolder)) {
        // The installer's own program may still run as the holding child.
        if (file.first != "KwoWardenInstaller.exe") {
            EXPECT_EQ(std::find(left.begin(), left.end(), file.first), left.end()) << file.first << " stayed";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Installers, LauncherLeftoverTest,
                         ::testing::Values(LeftoverCase{"SubFolder", "KWO_DEMO_LEAVE_FOLDER", "extra", "extra"},
                                           LeftoverCase{"OpenFile", "KWO_DEMO_HOLD_FILE", "held.dat", "held.dat"}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
