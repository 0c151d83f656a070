// Process entry of the launcher.
#pragma once

#include <windows.h>

// Loads the window's strings, refuses a second instance, shows the progress
// window and runs the message loop. Returns the quit code (always 0), or 0
// when no window was created.
int SetupMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);
