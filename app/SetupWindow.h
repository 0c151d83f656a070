// The progress window: its class, its creation and its window procedure, the
// hub that drives extraction, error display, installer launch and cleanup.
#pragma once

#include <windows.h>

// Window size, frame and caption included.
constexpr int kWindowWidth = 300;
constexpr int kWindowHeight = 100;

// Command identifier that closes the window.
constexpr WORD kCloseCommand = 105;

// Registers the class windowClassName; a failure shows as a failed creation.
void RegisterSetupWindowClass(HINSTANCE instance);

// Stores instance in appInstance. Returns false when a window of the class
// exists already (it is brought to the foreground) or creation fails;
// otherwise shows the window, paints it and posts WM_SETUP_START.
bool CreateSetupWindow(HINSTANCE instance, int showCommand);

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
