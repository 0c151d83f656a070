// The window-message protocol between the extraction worker and the progress
// window. Every message is posted, never sent.
#pragma once

#include <windows.h>

// Start the extraction (StartExtraction). Posted once, by CreateSetupWindow,
// after the window has painted for the first time. Parameters 0 and 0.
constexpr UINT WM_SETUP_START = WM_USER + 54;  // 1078

// The worker has ended and touches nothing shared any more. Always the
// worker's last message. Parameters 0 and 0.
constexpr UINT WM_SETUP_DONE = WM_USER + 55;  // 1079

// progressFraction has a new value: repaint the bar. Parameters 0 and 0.
constexpr UINT WM_SETUP_PROGRESS = WM_USER + 56;  // 1080

// An error ended the extraction. lParam is a NUL-terminated text allocated
// with new[]; the window owns it from now on and releases it with delete[].
// Posted at most once, right before WM_SETUP_DONE.
constexpr UINT WM_SETUP_ERROR = WM_USER + 57;  // 1081

// Timer of the progress window that polls the installer process once a second.
constexpr UINT_PTR INSTALLER_WAIT_TIMER = 33605;
