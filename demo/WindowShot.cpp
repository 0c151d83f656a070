// KwoWindowShot.exe OUT.bmp: shows the real progress window at 57 % without
// extracting anything, copies it from the screen, frame included, into a
// 24-bit BMP and ends. `make demo` turns the picture into build/window.png.
#include "app/SetupMessages.h"
#include "app/SetupState.h"
#include "app/SetupWindow.h"

#include <windows.h>

#include <string>

namespace {

constexpr double kShownFraction = 0.575;  // 57 %, with a fill of 158 columns

// Handles what arrives for a while, except the start of the extraction.
void PumpWithoutExtraction(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_SETUP_START)
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(20);
    }
}

bool WriteScreenRect(const RECT& rect, const char* path)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom row first, as a BMP file stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();
        const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        const DWORD imageBytes = rowBytes * static_cast<DWORD>(height);
        BITMAPFILEHEADER header = {};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + imageBytes;
        info.bmiHeader.biSizeImage = imageBytes;
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ok = WriteFile(file, &header, sizeof header, &written, nullptr) &&
                 WriteFile(file, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
                 WriteFile(file, bits, imageBytes, &written, nullptr) && written == imageBytes;
            CloseHandle(file);
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int)
{
    const std::string path(arguments);
    if (path.empty())
        return 2;
    LoadStringA(instance, IDS_WINDOW_TITLE, windowTitle, kTextBufferSize);
    LoadStringA(instance, IDS_WINDOW_CLASS, windowClassName, kTextBufferSize);
    progressFraction = kShownFraction;
    RegisterSetupWindowClass(instance);
    if (!CreateSetupWindow(instance, SW_SHOWNORMAL))
        return 1;
    HWND window = FindWindowA(windowClassName, nullptr);
    PumpWithoutExtraction(1500);
    RECT rect = {};
    GetWindowRect(window, &rect);
    const bool ok = WriteScreenRect(rect, path.c_str());
    DestroyWindow(window);
    PumpWithoutExtraction(100);
    return ok ? 0 : 1;
}
