// Painting of the progress window: the gradient with its two text lines, and
// the bitmap progress strip with its percentage.
#pragma once

#include <windows.h>

// Geometry of the progress strip in client coordinates.
constexpr int kStripLeft = 10;
constexpr int kStripTop = 45;
constexpr int kStripWidth = 275;
constexpr int kStripHeight = 20;

// Fills the client area of window with the vertical gradient and draws the
// two lines of text in textFont.
void PaintBackground(HWND window, HDC dc);

// Composes the strip for progressFraction off-screen and copies it to dc at
// (kStripLeft, kStripTop) in one block transfer.
void PaintProgressBar(HDC dc);

// The font of every text in the window (Verdana, 16 pixels high).
HFONT CreateTextFont();
