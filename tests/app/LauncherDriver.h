// Runs a real launcher as a separate process and watches it from outside: its
// error boxes (caption, text; each one answered with OK), its progress window,
// its exit code, its memory, and what the demo installer reported.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// Unix path of the build tree (as CMake knows it) to the Windows path that
// Wine's drive Z: gives it.
std::string WindowsPath(const std::string& unixPath);

// %TEMP% in its long form with a trailing backslash, and the extraction folder
// below it.
std::string LongTemporaryFolder();
std::string ExtractionFolderPath();

// Whether a file or folder is there (a trailing backslash allowed).
bool PathPresent(const std::string& path);
// Deletes a folder with everything in it, read-only files included; waits up
// to timeoutMs for files that another process still holds.
bool RemoveTree(const std::string& folder, DWORD timeoutMs = 0);

struct ErrorBox {
    std::string caption;
    std::string text;
    bool installerStartedBefore;  // the report file existed when the box was seen
};

struct LauncherResult {
    bool started = false;
    bool ended = false;  // within the time-out
    DWORD exitCode = 0;
    bool crashed = false;  // an exception that nothing handled (seen when debugged)
    std::vector<ErrorBox> boxes;
    DWORD msToInstallerStart = 0;  // until the report file appeared; 0 if never
    SIZE_T peakWorkingSet = 0;
    SIZE_T peakPrivateBytes = 0;
};

struct LaunchOptions {
    std::string currentFolder;  // the launcher's; empty: this process's
    // Started with this process as its debugger: every thread it starts is
    // handed to onThreadStarted before it runs, and a crash is seen.
    bool debugged = false;
};

class CLauncherRun {
public:
    // Starts program with the given environment variables added, the demo
    // installer's report going to reportPath.
    CLauncherRun(const std::string& program, const std::string& reportPath,
                 const std::vector<std::pair<std::string, std::string>>& environment,
                 const LaunchOptions& options = LaunchOptions());
    ~CLauncherRun();
    CLauncherRun(const CLauncherRun&) = delete;
    CLauncherRun& operator=(const CLauncherRun&) = delete;

    bool Started() const { return result.started; }
    // Whether the process has ended (for a debugged one: its end was seen).
    bool Ended();

    // Debugged only: called with each new thread of the launcher, which waits
    // until this returns; the handle is the debugger's, valid until the
    // thread ends.
    std::function<void(HANDLE thread)> onThreadStarted;

    // Watches until the process ends or timeoutMs pass; answers every error
    // box with OK, after recording it.
    const LauncherResult& WaitForEnd(DWORD timeoutMs = 60000);

    // Watches (answering error boxes) until condition holds or timeoutMs pass.
    template <typename Condition>
    bool WatchUntil(Condition condition, DWORD timeoutMs = 30000)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < timeoutMs) {
            if (condition())
                return true;
            Watch();
            Pause();
        }
        return condition();
    }

    // The launcher's progress window, or null.
    HWND ProgressWindow() const;

private:
    void Watch();
    // Waits a moment: for the process's end, or for a debug event, which is
    // handled and continued.
    void Pause();
    void HandleDebugEvent(const DEBUG_EVENT& event);

    PROCESS_INFORMATION process = {};
    bool debugged = false;
    bool debugEnded = false;  // the process's end was reported to this debugger
    std::string reportPath;
    DWORD startTick = 0;
    std::vector<HWND> seenBoxes;
    LauncherResult result;
};

// Runs program (see CLauncherRun) to its end, which must come within
// timeoutMs, with exit code 0.
LauncherResult RunToEnd(const std::string& program, const std::string& reportPath,
                        const std::vector<std::pair<std::string, std::string>>& environment = {{"KWO_DEMO_SECONDS", "0"}},
                        DWORD timeoutMs = 60000, const LaunchOptions& options = LaunchOptions());

// The demo installer's report, as lines without their line ends; empty when
// it was never written.
std::vector<std::string> ReadReport(const std::string& path);
