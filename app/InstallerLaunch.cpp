#include "app/InstallerLaunch.h"

#include "app/HandleOwners.h"
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

// The files directly in extractionFolder, in the order the listing gives them.
// Folders, read-only files and files in use fail to delete and stay.
void RemoveFolderFiles()
{
    const std::string pattern = extractionFolder + "*";
    WIN32_FIND_DATAA found;
    CFolderListing listing(FindFirstFileA(pattern.c_str(), &found));
    if (listing.Get() == INVALID_HANDLE_VALUE)
        return;
    do {
        if (std::strcmp(found.cFileName, ".") == 0 || std::strcmp(found.cFileName, "..") == 0)
            continue;
        DeleteFileA((extractionFolder + found.cFileName).c_str());
    } while (FindNextFileA(listing.Get(), &found));
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

void RemoveExtractionFolder()
{
    // An empty folder would make the pattern list the current directory.
    if (extractionFolder.empty())
        return;
    try {
        RemoveFolderFiles();
    } catch (...) {
        // No memory for a path: what is left stays, as after a failed delete.
    }
    RemoveDirectoryA(extractionFolder.c_str());
}
