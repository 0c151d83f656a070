#include "app/InstallerLaunch.h"

#include "app/ExtractionFolder.h"
#include "app/SetupMessages.h"
#include "app/SetupState.h"
#include "base/KwoException.h"

#include <cstring>
#include <string>

namespace {

constexpr const char* kInstallerName = "KwoWardenInstaller.exe";
constexpr size_t kCommandLineSize = 2048;
constexpr UINT kPollInterval = 1000;

// The watch thread of WatchInstallerWithoutTimer.
DWORD WINAPI WatchInstaller(LPVOID window)
{
    WaitForSingleObject(installerProcess.hProcess, INFINITE);
    PostMessageA(static_cast<HWND>(window), WM_TIMER, INSTALLER_WAIT_TIMER, 0);
    return 0;
}

}  // namespace

void LaunchInstaller(HWND window)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    const std::string program = extractionFolder + kInstallerName;
    char commandLine[kCommandLineSize];
    std::memcpy(commandLine, kInstallerName, std::strlen(kInstallerName) + 1);

    if (!CreateProcessA(program.c_str(), commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                        extractionFolder.c_str(), &startup, &installerProcess))
        ThrowWin32Error("InstallError", "Unable to start installation program.", 0, 0);

    ShowWindow(window, SW_HIDE);
    if (SetTimer(window, INSTALLER_WAIT_TIMER, kPollInterval, nullptr) == 0)
        WatchInstallerWithoutTimer(window);
}

void WatchInstallerWithoutTimer(HWND window)
{
    HANDLE watcher = CreateThread(nullptr, 0, WatchInstaller, window, 0, nullptr);
    if (watcher != nullptr) {
        CloseHandle(watcher);
        return;
    }
    // Neither a timer nor a thread: wait here; the window is hidden anyway.
    WaitForSingleObject(installerProcess.hProcess, INFINITE);
    PostMessageA(window, WM_TIMER, INSTALLER_WAIT_TIMER, 0);
}

void PollInstaller(HWND window)
{
    if (installerProcess.hProcess == nullptr)
        return;  // a tick that arrives after the end has been handled
    if (WaitForSingleObject(installerProcess.hProcess, 0) != WAIT_OBJECT_0)
        return;
    KillTimer(window, INSTALLER_WAIT_TIMER);
    CloseHandle(installerProcess.hProcess);
    CloseHandle(installerProcess.hThread);
    installerProcess.hProcess = nullptr;
    installerProcess.hThread = nullptr;
    RemoveExtractionFolder();
    PostQuitMessage(0);
}
