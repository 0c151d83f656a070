// The real launchers, each run as its own process under the same %TEMP%
// folder and single-instance class: these cases never run side by side.
#include "tests/app/LauncherDriver.h"

#include "base/SystemError.h"
#include "demo/Crc32.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>

namespace {

const std::string kDemoLauncher = WindowsPath(KWO_DEMO_LAUNCHER);
const std::string kDemoPayloadFolder = WindowsPath(KWO_DEMO_PAYLOAD_DIR);

// Runs launchers with a clean extraction folder and a sentinel file beside it
// that no launcher may touch.
class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(RemoveTree(ExtractionFolderPath(), 10000)) << "left from an earlier run";
        sentinel = LongTemporaryFolder() + "kwo-sentinel.txt";
        WriteFileBytes(sentinel, "stays");
    }

    void TearDown() override
    {
        EXPECT_EQ(ReadFileBytes(sentinel), "stays") << "the temporary folder was touched";
        DeleteFileA(sentinel.c_str());
        RemoveTree(ExtractionFolderPath(), 15000);
    }

    std::string Report() const { return folder / "report.txt"; }

    CTempFolder folder;
    std::string sentinel;
};

std::string Crc32Text(const std::string& bytes)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(UpdateCrc32(0, bytes.data(), bytes.size())));
    return text;
}

// name -> "SIZE bytes\tCRC-32 X" as the demo installer reports a file.
std::map<std::string, std::string> ExpectedFiles(const std::string& source)
{
    std::map<std::string, std::string> files;
    for (const std::string& name : FolderNames(source)) {
        const std::string bytes = ReadFileBytes(source + "\\" + name);
        files[name] = std::to_string(bytes.size()) + " bytes\tCRC-32 " + Crc32Text(bytes);
    }
    return files;
}

std::map<std::string, std::string> ReportedFiles(const std::vector<std::string>& report)
{
    std::map<std::string, std::string> files;
    for (const std::string& line : report) {
        if (line.compare(0, 2, "  ") != 0)
            continue;
        const size_t tab = line.find('\t');
        files[line.substr(2, tab - 2)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return files;
}

std::string ReportValue(const std::vector<std::string>& report, const std::string& key)
{
    for (const std::string& line : report)
        if (line.compare(0, key.size(), key) == 0)
            return line.substr(key.size());
    return "<missing " + key + ">";
}

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
    kReadOnlyEntry,        // a read-only file of a payload entry's name in the extraction folder
    kNoTemporaryFolder,    // TMP and TEMP name a folder that does not exist
    kFileInTheWay,         // a file stands where the extraction folder belongs
};

struct ErrorCase {
    const char* name;
    const char* launcher;   // Unix path from the build
    const char* textStart;  // the error box's text begins with it (kFileInTheWay: then the file's path)
    bool nestedPart;        // followed by the platform's text
    DWORD nestedCode;       // whose error code, when it is known (else 0)
    Prepared prepared;
};

void PrintTo(const ErrorCase& row, std::ostream* os) { *os << row.name; }

class LauncherErrorTest : public LauncherTest, public ::testing::WithParamInterface<ErrorCase> {
protected:
    HANDLE holder = INVALID_HANDLE_VALUE;
};

TEST_P(LauncherErrorTest, ShowsOneErrorBoxAndCleansUp)
{
    const ErrorCase& param = GetParam();
    const std::string entry = "settings.ini";
    const std::string blocked = ExtractionFolderPath() + entry;
    const std::string missing = "C:\\kwo-no-such-temp";
    std::string place = ExtractionFolderPath();
    place.pop_back();
    std::string start = param.textStart;
    std::vector<std::pair<std::string, std::string>> environment = {{"KWO_DEMO_SECONDS", "0"}};
    if (param.prepared == Prepared::kReadOnlyEntry) {
        ASSERT_TRUE(CreateDirectoryA(ExtractionFolderPath().c_str(), nullptr));
        WriteFileBytes(blocked, "read-only");
        ASSERT_TRUE(SetFileAttributesA(blocked.c_str(), FILE_ATTRIBUTE_READONLY));
        HANDLE probe = CreateFileA(blocked.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            // Wine run as root writes read-only files; a handle that shares
            // no writing keeps the entry unwritable there too.
            CloseHandle(probe);
            holder = CreateFileA(blocked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
            std::printf("[   note   ] read-only is not enforced here; the file is also held open\n");
        }
    } else if (param.prepared == Prepared::kNoTemporaryFolder) {
        environment.push_back({"TMP", missing + "\\sub"});
        environment.push_back({"TEMP", missing + "\\sub"});
    } else if (param.prepared == Prepared::kFileInTheWay) {
        WriteFileBytes(place, "in the way");
        start += place;
    }

    const LauncherResult result = RunToEnd(WindowsPath(param.launcher), Report(), environment);
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
    if (holder != INVALID_HANDLE_VALUE)
        CloseHandle(holder);

    EXPECT_FALSE(PathPresent(missing));
    if (param.prepared == Prepared::kReadOnlyEntry) {
        // The cleanup neither reads nor changes attributes: the read-only file
        // that was there before stays, and with it the folder; the files the
        // launcher wrote are gone.
        EXPECT_EQ(FolderNames(ExtractionFolderPath()), std::vector<std::string>{entry});
    } else if (param.prepared == Prepared::kFileInTheWay) {
        EXPECT_EQ(ReadFileBytes(place), "in the way");
        DeleteFileA(place.c_str());
    } else {
        EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
    }
}

// The first five fail in the worker, the next two on the main thread before
// the worker exists, the last when the installer is started.
INSTANTIATE_TEST_SUITE_P(
    Launchers, LauncherErrorTest,
    ::testing::Values(
        ErrorCase{"MissingPayload", KWO_STUB_LAUNCHER, "Archive is missing.", true, ERROR_RESOURCE_TYPE_NOT_FOUND,
                  Prepared::kNothing},
        ErrorCase{"EmptyPayload", KWO_EMPTY_LAUNCHER, "Archive is corrupted.", true, 0, Prepared::kNothing},
        ErrorCase{"BadSignature", KWO_BAD_SIGNATURE_LAUNCHER, "Archive is corrupted.", true, 0, Prepared::kNothing},
        ErrorCase{"TruncatedStream", KWO_TRUNCATED_LAUNCHER, "Unexpected end of file reached.", false, 0,
                  Prepared::kNothing},
        ErrorCase{"ReadOnlyEntry", KWO_DEMO_LAUNCHER, "Error while extracting file from archive. Details: ", false,
                  0, Prepared::kReadOnlyEntry},
        ErrorCase{"TemporaryFolderMissing", KWO_DEMO_LAUNCHER, "Unable to convert short path name to long", true, 0,
                  Prepared::kNoTemporaryFolder},
        ErrorCase{"ExtractionFolderIsAFile", KWO_DEMO_LAUNCHER, "Unable to create directory ", true, 0,
                  Prepared::kFileInTheWay},
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
