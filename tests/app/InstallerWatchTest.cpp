// The watch that stands in for a timer that could not be started: the
// installer's end still reaches the poll, which cleans up and quits.
#include "app/ExtractionFolder.h"
#include "app/InstallerLaunch.h"
#include "app/SetupState.h"
#include "app/SetupWindow.h"
#include "tests/app/LauncherDriver.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(InstallerWatchTest, WithoutTimerTheEndIsStillNoticed)
{
    CTempFolder folder;
    // Only a folder that this run prepared is removed at the end.
    PrepareExtractionFolder(folder.Path() + "\\");
    const std::string installer = folder / "KwoWardenInstaller.exe";
    ASSERT_TRUE(CopyFileA((WindowsPath(KWO_DEMO_PAYLOAD_DIR) + "\\KwoWardenInstaller.exe").c_str(), installer.c_str(),
                          FALSE));
    WriteFileBytes(folder / "data.txt", "extracted");

    HINSTANCE instance = GetModuleHandleA(nullptr);
    LoadStringA(instance, IDS_WINDOW_CLASS, windowClassName, kTextBufferSize);
    RegisterSetupWindowClass(instance);
    HWND window =
        CreateWindowExA(0, windowClassName, "", WS_OVERLAPPED, 0, 0, 300, 100, nullptr, nullptr, instance, nullptr);
    ASSERT_NE(window, nullptr);

    SetEnvironmentVariableA("KWO_DEMO_SECONDS", "0");
    std::string commandLine = "KwoWardenInstaller.exe";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    ASSERT_TRUE(CreateProcessA(installer.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               extractionFolder.c_str(), &startup, &installerProcess));
    SetEnvironmentVariableA("KWO_DEMO_SECONDS", nullptr);
    WatchInstallerWithoutTimer(window);

    // No timer exists: only the watch can bring the quit request.
    int quitCode = -1;
    const DWORD start = GetTickCount();
    while (quitCode == -1 && GetTickCount() - start < 30000) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                quitCode = static_cast<int>(message.wParam);
            else
                DispatchMessageA(&message);
        }
        Sleep(20);
    }
    DestroyWindow(window);
    extractionFolder.clear();

    EXPECT_EQ(quitCode, 0) << "the installer's end went unnoticed";
    EXPECT_EQ(installerProcess.hProcess, nullptr) << "the handles were not closed";
    EXPECT_FALSE(PathPresent(folder.Path()));
}

}  // namespace
