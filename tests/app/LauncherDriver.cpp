#include "tests/app/LauncherDriver.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <fstream>

std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string LongTemporaryFolder()
{
    char shortPath[MAX_PATH], longPath[MAX_PATH];
    GetTempPathA(MAX_PATH, shortPath);
    const DWORD length = GetLongPathNameA(shortPath, longPath, MAX_PATH);
    std::string folder = length > 0 && length < MAX_PATH ? longPath : shortPath;
    if (folder.empty() || folder.back() != '\\')
        folder += '\\';
    return folder;
}

std::string ExtractionFolderPath()
{
    return LongTemporaryFolder() + "KwoWarden.tmp\\";
}

namespace {

std::string WindowText(HWND window)
{
    char text[4096] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The top-level windows of className that belong to processId.
std::vector<HWND> ProcessWindows(DWORD processId, const char* className)
{
    std::vector<HWND> found;
    for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr;) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            found.push_back(window);
    }
    return found;
}

}  // namespace

bool PathPresent(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::string& folder, DWORD timeoutMs)
{
    const std::string path = !folder.empty() && folder.back() == '\\' ? folder.substr(0, folder.size() - 1) : folder;
    const DWORD start = GetTickCount();
    while (!RemoveAll(path) || PathPresent(path)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(100);
    }
    return true;
}

CLauncherRun::CLauncherRun(const std::string& program, const std::string& reportPath_,
                           const std::vector<std::pair<std::string, std::string>>& environment,
                           const LaunchOptions& options)
    : debugged(options.debugged), reportPath(reportPath_)
{
    // The child inherits this process's environment: set the variables for the
    // start, then put back what was there.
    std::vector<std::pair<std::string, std::string>> variables = environment;
    variables.push_back({"KWO_DEMO_REPORT", reportPath});
    std::vector<std::pair<std::string, std::string>> saved;
    std::vector<std::string> absent;
    for (const auto& variable : variables) {
        char value[32768];
        const DWORD length = GetEnvironmentVariableA(variable.first.c_str(), value, sizeof value);
        if (length > 0 && length < sizeof value)
            saved.push_back({variable.first, value});
        else
            absent.push_back(variable.first);
        SetEnvironmentVariableA(variable.first.c_str(), variable.second.c_str());
    }
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startTick = GetTickCount();
    result.started =
        CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, debugged ? DEBUG_ONLY_THIS_PROCESS : 0,
                       nullptr, options.currentFolder.empty() ? nullptr : options.currentFolder.c_str(), &startup,
                       &process) != FALSE;
    for (const auto& variable : saved)
        SetEnvironmentVariableA(variable.first.c_str(), variable.second.c_str());
    for (const std::string& name : absent)
        SetEnvironmentVariableA(name.c_str(), nullptr);
}

CLauncherRun::~CLauncherRun()
{
    if (!result.started)
        return;
    if (!Ended()) {
        TerminateProcess(process.hProcess, 99);
        // A debugged process ends once its end has been seen.
        for (DWORD start = GetTickCount(); debugged && !debugEnded && GetTickCount() - start < 5000;)
            Pause();
        WaitForSingleObject(process.hProcess, 5000);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

HWND CLauncherRun::ProgressWindow() const
{
    const std::vector<HWND> windows = ProcessWindows(process.dwProcessId, "KWOINC.KWOWARDEN.SETUP.20");
    return windows.empty() ? nullptr : windows.front();
}

void CLauncherRun::Watch()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters)) {
        result.peakWorkingSet = std::max(result.peakWorkingSet, counters.PeakWorkingSetSize);
        result.peakPrivateBytes = std::max(result.peakPrivateBytes, counters.PeakPagefileUsage);
    }
    const bool reported = PathPresent(reportPath);
    if (reported && result.msToInstallerStart == 0)
        result.msToInstallerStart = std::max<DWORD>(1, GetTickCount() - startTick);

    for (HWND box : ProcessWindows(process.dwProcessId, "#32770")) {
        if (!IsWindowVisible(box))
            continue;
        if (std::find(seenBoxes.begin(), seenBoxes.end(), box) == seenBoxes.end()) {
            seenBoxes.push_back(box);
            ErrorBox seen = {WindowText(box), "", reported};
            // The message is the longest of the box's static texts.
            for (HWND child = nullptr; (child = FindWindowExA(box, child, "Static", nullptr)) != nullptr;)
                if (WindowText(child).size() > seen.text.size())
                    seen.text = WindowText(child);
            result.boxes.push_back(seen);
        }
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
}

bool CLauncherRun::Ended()
{
    if (debugged)
        return debugEnded;
    return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
}

void CLauncherRun::Pause()
{
    if (!debugged) {
        WaitForSingleObject(process.hProcess, 25);
        return;
    }
    DEBUG_EVENT event;
    if (debugEnded)
        Sleep(25);
    else if (WaitForDebugEvent(&event, 25))
        HandleDebugEvent(event);
}

void CLauncherRun::HandleDebugEvent(const DEBUG_EVENT& event)
{
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
    case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile != nullptr)
            CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
    case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile != nullptr)
            CloseHandle(event.u.LoadDll.hFile);
        break;
    case CREATE_THREAD_DEBUG_EVENT:
        if (onThreadStarted)
            onThreadStarted(event.u.CreateThread.hThread);
        break;
    case EXCEPTION_DEBUG_EVENT:
        // The loader's breakpoint is ours to pass; everything else (a C++
        // throw, say) goes to the launcher's own handlers first.
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
            status = DBG_EXCEPTION_NOT_HANDLED;
            if (!event.u.Exception.dwFirstChance)
                result.crashed = true;
        }
        break;
    case EXIT_PROCESS_DEBUG_EVENT:
        debugEnded = true;
        break;
    default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
}

const LauncherResult& CLauncherRun::WaitForEnd(DWORD timeoutMs)
{
    if (!result.started)
        return result;
    const DWORD start = GetTickCount();
    while (!Ended()) {
        Watch();
        if (GetTickCount() - start >= timeoutMs)
            return result;
        Pause();
    }
    WaitForSingleObject(process.hProcess, 5000);
    result.ended = true;
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    if (result.msToInstallerStart == 0 && PathPresent(reportPath))
        result.msToInstallerStart = GetTickCount() - startTick;
    return result;
}

LauncherResult RunToEnd(const std::string& program, const std::string& reportPath,
                        const std::vector<std::pair<std::string, std::string>>& environment, DWORD timeoutMs,
                        const LaunchOptions& options)
{
    CLauncherRun run(program, reportPath, environment, options);
    EXPECT_TRUE(run.Started()) << program;
    const LauncherResult& result = run.WaitForEnd(timeoutMs);
    EXPECT_TRUE(result.ended) << program << " did not end";
    EXPECT_EQ(result.exitCode, 0u) << program;
    return result;
}

std::vector<std::string> ReadReport(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
