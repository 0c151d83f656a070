#include "app/SetupWindow.h"

#include "app/ExtractWorker.h"
#include "app/ExtractionFolder.h"
#include "app/InstallerLaunch.h"
#include "app/SetupMessages.h"
#include "app/SetupPaint.h"
#include "app/SetupState.h"
#include "base/KwoException.h"

#include <memory>
#include <new>

namespace {

// The error box is modal and keeps dispatching; a WM_SETUP_DONE that arrives
// meanwhile waits here until the box has been closed.
bool errorBoxOpen = false;
bool donePending = false;

void FinishAfterError()
{
    RemoveExtractionFolder();
    PostQuitMessage(0);
}

// A failure on the main thread ends the setup as a worker's error does: the
// text in an error box, the folder removed where it was set, exit code 0.
void ReportMainThreadError(HWND window, const char* text)
{
    errorShown = true;
    errorBoxOpen = true;
    MessageBoxA(window, text, kSetupErrorCaption, MB_OK | MB_ICONERROR);
    errorBoxOpen = false;
    FinishAfterError();
}

void ShowWorkerError(HWND window, char* text)
{
    const std::unique_ptr<char[]> owned(text);
    errorShown = true;
    errorBoxOpen = true;
    MessageBoxA(window, owned ? owned.get() : kOutOfMemoryText, kSetupErrorCaption, MB_OK | MB_ICONERROR);
    errorBoxOpen = false;
    if (donePending)
        FinishAfterError();
}

void OnSetupDone(HWND window)
{
    if (!errorShown)
        LaunchInstaller(window);
    else if (errorBoxOpen)
        donePending = true;
    else
        FinishAfterError();
}

void OnPaint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc == nullptr)
        return;
    PaintBackground(window, dc);
    PaintProgressBar(dc);
    EndPaint(window, &paint);
}

void OnProgress(HWND window)
{
    HDC dc = GetDC(window);
    if (dc == nullptr)
        return;
    PaintProgressBar(dc);
    ReleaseDC(window, dc);
}

LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETUP_START:
        StartExtraction(window);
        return 0;
    case WM_SETUP_DONE:
        OnSetupDone(window);
        return 0;
    case WM_SETUP_PROGRESS:
        OnProgress(window);
        return 0;
    case WM_SETUP_ERROR:
        ShowWorkerError(window, reinterpret_cast<char*>(lParam));
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_DESTROY:
        // Closed during the extraction: the worker stops at its next step,
        // and SetupMain waits for it before the process ends.
        stopRequested.store(true);
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) != kCloseCommand)
            break;
        DestroyWindow(window);
        return 0;
    case WM_TIMER:
        if (wParam == INSTALLER_WAIT_TIMER)
            PollInstaller(window);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void RegisterSetupWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SetupWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.hbrBackground = nullptr;  // PaintBackground covers the client area
    windowClass.lpszClassName = windowClassName;
    RegisterClassExA(&windowClass);
}

bool CreateSetupWindow(HINSTANCE instance, int showCommand)
{
    appInstance = instance;
    HWND existing = FindWindowA(windowClassName, nullptr);
    if (existing != nullptr) {
        SetForegroundWindow(existing);
        return false;
    }

    const int x = (GetSystemMetrics(SM_CXSCREEN) - kWindowWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kWindowHeight) / 2;
    HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, windowClassName, windowTitle, WS_OVERLAPPED, x, y,
                                  kWindowWidth, kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return false;

    textFont = CreateTextFont();
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    if (!PostMessageA(window, WM_SETUP_START, 0, 0)) {
        DestroyWindow(window);  // without the start the window would wait forever
        return false;
    }
    return true;
}

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing leaves the window procedure: a failure on the main thread ends
    // the setup with an error box.
    try {
        return HandleMessage(window, message, wParam, lParam);
    } catch (CKwoException* raw) {
        const std::unique_ptr<CKwoException> error(raw);
        ReportMainThreadError(window, error->MessageText().c_str());
    } catch (const std::bad_alloc&) {
        ReportMainThreadError(window, kOutOfMemoryText);
    } catch (...) {
        ReportMainThreadError(window, "Unexpected error in the setup.");
    }
    return 0;
}
