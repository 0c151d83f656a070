// The real launcher against what a hostile or careless neighbour leaves in
// %TEMP%: a link or a file where the extraction folder belongs, leftovers in
// it, the folder swapped for a link while the installer runs, and the window
// closed while the worker runs. Each case checks from outside.
#include "tests/app/LauncherFixture.h"

#include "base/SystemError.h"
#include "tests/support/FolderLinks.h"

#include <cstdio>

namespace {

const std::string kNested = "\n\tNested error [Win32] ";

// Runs the demo to its end; the installer ran from a real extraction folder
// with exactly the payload's files beside it, and the folder is gone.
void ExpectCleanInstall(const LauncherResult& result, const std::string& report)
{
    EXPECT_TRUE(result.boxes.empty()) << result.boxes.front().text;
    const std::vector<std::string> lines = ReadReport(report);
    ASSERT_FALSE(lines.empty()) << "the installer never reported";
    EXPECT_EQ(ReportValue(lines, "Current folder: "), ExtractionPlace());
    EXPECT_EQ(ReportedFiles(lines), ExpectedFiles(DemoPayloadFolder()));
    EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
}

TEST_F(LauncherTest, PlantedLinkIsNeverFollowed)
{
    CTempFolder target;
    WriteFileBytes(target / "keep.txt", "theirs");
    const CFolderLink link(ExtractionPlace(), target.Path());
    ASSERT_TRUE(link.Planted());

    const LauncherResult result = RunToEnd(DemoLauncher(), Report());
    EXPECT_EQ(FolderNames(target.Path()), std::vector<std::string>{"keep.txt"}) << "something was written there";
    EXPECT_EQ(ReadFileBytes(target / "keep.txt"), "theirs");
    if (PlatformOpensLinksThemselves()) {
        // The link is removed and a real folder made in its place.
        ExpectCleanInstall(result, Report());
        return;
    }
    // Wine opens what a link points to, so the launcher cannot remove the
    // link without touching the target: it refuses the folder instead.
    std::printf("[   note   ] links open as their targets here: the folder is refused\n");
    ASSERT_EQ(result.boxes.size(), 1u);
    EXPECT_EQ(result.boxes.front().text,
              "Unable to create directory " + ExtractionPlace() + kNested + SystemErrorText(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(ReadReport(Report()).empty()) << "the installer ran";
}

// What waits where the extraction folder belongs, other than a link.
struct WaitingCase {
    const char* name;
    bool folder;            // a folder with leftovers; else a file of the folder's name
    bool subFolderStays;    // the leftovers include a sub-folder, which stays
};

void PrintTo(const WaitingCase& row, std::ostream* os) { *os << row.name; }

class LauncherWaitingTest : public LauncherTest, public ::testing::WithParamInterface<WaitingCase> {};

TEST_P(LauncherWaitingTest, InstallerSeesOnlyThePayload)
{
    const std::string place = ExtractionPlace();
    if (GetParam().folder) {
        ASSERT_TRUE(CreateDirectoryA(place.c_str(), nullptr));
        WriteFileBytes(place + "\\version.dll", "planted beside the installer");
        WriteFileBytes(place + "\\readme.txt", "an old copy");
        if (GetParam().subFolderStays) {
            ASSERT_TRUE(CreateDirectoryA((place + "\\plugins").c_str(), nullptr));
            WriteFileBytes(place + "\\plugins\\old.dll", "left by an installer");
        }
    } else {
        WriteFileBytes(place, "a file of the folder's name");
    }

    const LauncherResult result = RunToEnd(DemoLauncher(), Report());
    if (!GetParam().subFolderStays) {
        ExpectCleanInstall(result, Report());
        return;
    }
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(ReportedFiles(ReadReport(Report())), ExpectedFiles(DemoPayloadFolder()));
    // The sub-folder keeps the folder in place, with nothing else in it.
    EXPECT_EQ(FolderNames(place), std::vector<std::string>{"plugins"});
    EXPECT_EQ(ReadFileBytes(place + "\\plugins\\old.dll"), "left by an installer");
}

INSTANTIATE_TEST_SUITE_P(Places, LauncherWaitingTest,
                         ::testing::Values(WaitingCase{"FileOfTheFolderName", false, false},
                                           WaitingCase{"LeftoverFiles", true, false},
                                           WaitingCase{"LeftoversAndASubFolder", true, true}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(LauncherTest, FolderSwappedForALinkWhileTheInstallerRuns)
{
    CTempFolder target;
    WriteFileBytes(target / "keep.txt", "theirs");
    const std::string aside = LongTemporaryFolder() + "kwo-swapped-aside";
    RemoveTree(aside);
    // The installer shows its window long enough for the swap.
    CLauncherRun run(DemoLauncher(), Report(), {{"KWO_DEMO_SECONDS", "3"}});
    ASSERT_TRUE(run.Started());
    ASSERT_TRUE(run.WatchUntil([&] { return !ReadReport(Report()).empty(); })) << "the installer never ran";
    const bool swapped = SwapFolderForLink(ExtractionPlace(), aside, target.Path());
    const DWORD swapError = GetLastError();

    const LauncherResult& result = run.WaitForEnd();
    ASSERT_TRUE(result.ended);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_TRUE(result.boxes.empty());
    EXPECT_EQ(FolderNames(target.Path()), std::vector<std::string>{"keep.txt"}) << "something behind the link changed";
    EXPECT_EQ(ReadFileBytes(target / "keep.txt"), "theirs");
    if (swapped) {
        // Wine: swapped on the Unix side, past the launcher's hold. The
        // folder that was moved aside is not touched either.
        std::printf("[   note   ] the folder was swapped past the hold (on the Unix side)\n");
        EXPECT_EQ(FolderNames(aside).size(), ExpectedFiles(DemoPayloadFolder()).size());
    } else {
        // Windows: the launcher holds the folder, so it cannot be renamed.
        EXPECT_EQ(swapError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
    }
    RemoveFolderLink(ExtractionPlace());
    RemoveTree(aside, 10000);
}

// How the window is closed during the extraction: Alt+F4 arrives as
// WM_CLOSE, which default processing turns into the window's destruction.
struct CloseCase {
    const char* name;
    UINT message;
    WPARAM wParam;
};

void PrintTo(const CloseCase& row, std::ostream* os) { *os << row.name; }

class LauncherCloseTest : public LauncherTest, public ::testing::WithParamInterface<CloseCase> {};

// The launcher runs under this process as its debugger, which holds the
// worker before its first instruction while the window is closed: the
// process must not end until the worker, let go, has stopped by itself.
TEST_P(LauncherCloseTest, ProcessEndsOnlyAfterTheWorker)
{
    LaunchOptions options;
    options.debugged = true;
    CLauncherRun run(DemoLauncher(), Report(), {{"KWO_DEMO_SECONDS", "0"}}, options);
    ASSERT_TRUE(run.Started());
    HANDLE worker = nullptr;
    HWND window = nullptr;
    run.onThreadStarted = [&](HANDLE thread) {
        // The worker is the first thread started once the extraction folder
        // exists: StartExtraction prepares the folder, then starts it.
        if (worker != nullptr || !PathPresent(ExtractionFolderPath()))
            return;
        worker = thread;
        SuspendThread(worker);
        window = run.ProgressWindow();
        PostMessageA(window, GetParam().message, GetParam().wParam, 0);
    };
    ASSERT_TRUE(run.WatchUntil([&] { return worker != nullptr; })) << "no worker was started";
    ASSERT_NE(window, nullptr);

    EXPECT_TRUE(run.WatchUntil([&] { return !IsWindow(window); })) << "the window stayed";
    EXPECT_FALSE(run.WatchUntil([&] { return run.Ended(); }, 1500)) << "the process ended under its worker";
    ResumeThread(worker);

    const LauncherResult& result = run.WaitForEnd(30000);
    ASSERT_TRUE(result.ended);
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_FALSE(result.crashed);
    EXPECT_TRUE(result.boxes.empty()) << result.boxes.front().text;
    EXPECT_TRUE(ReadReport(Report()).empty()) << "the installer ran";
    // Stopped in the decode: nothing was extracted. The folder stays, as the
    // close command leaves it; the next start empties it.
    EXPECT_TRUE(PathPresent(ExtractionFolderPath()));
    EXPECT_TRUE(FolderNames(ExtractionFolderPath()).empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, LauncherCloseTest,
                         ::testing::Values(CloseCase{"CloseMessage", WM_CLOSE, 0},
                                           CloseCase{"CloseCommand", WM_COMMAND, 105}),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
