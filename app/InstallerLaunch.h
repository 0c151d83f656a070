// The hand-over to the product's installer: start it from the extraction
// folder, watch it while the window is hidden, and remove the folder at the end.
#pragma once

#include <windows.h>

// Starts "KwoWardenInstaller.exe" from extractionFolder, hides window and
// starts INSTALLER_WAIT_TIMER on it. Raises "InstallError" when the installer
// cannot be started; the window then stays visible and nothing is watched.
void LaunchInstaller(HWND window);

// What LaunchInstaller does when the timer cannot be started: a thread waits
// for the installer's end and then posts the tick the timer would have sent.
void WatchInstallerWithoutTimer(HWND window);

// One tick of INSTALLER_WAIT_TIMER: once the installer has ended, stops the
// watch, closes its handles, removes the extraction folder and quits with 0.
void PollInstaller(HWND window);
