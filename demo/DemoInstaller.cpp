// KwoWardenInstaller.exe, the demo payload's installer. Started by the
// launcher from the extraction folder, it reports what it found (see
// InstallerReport.h) on standard output, in a window for a few seconds, and in
// a file when KWO_DEMO_REPORT names one; then it ends by itself.
//
// Environment, for demonstrations and tests:
//   KWO_DEMO_REPORT=path        also write the report to this file (last act
//                               before the window)
//   KWO_DEMO_SECONDS=n          show the window n seconds (default 3; 0: none)
//   KWO_DEMO_LEAVE_FOLDER=name  create the sub-folder name, with a file in it
//   KWO_DEMO_HOLD_FILE=name     create the file name and keep it open from a
//                               child process for KWO_DEMO_HOLD_SECONDS (5)
//                               seconds after this process has ended
#include "demo/InstallerReport.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr UINT_PTR kCloseTimer = 1;

std::string Environment(const char* name)
{
    char value[MAX_PATH];
    const DWORD length = GetEnvironmentVariableA(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(value, length) : std::string();
}

int EnvironmentNumber(const char* name, int fallback)
{
    const std::string text = Environment(name);
    return text.empty() ? fallback : std::atoi(text.c_str());
}

bool WriteAll(HANDLE file, const std::string& text)
{
    DWORD written = 0;
    return file != nullptr && file != INVALID_HANDLE_VALUE &&
           WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

void WriteReportFile(const std::string& path, const std::string& report)
{
    // Written under another name first, so that a reader never sees half a report.
    const std::string partial = path + ".part";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const bool ok = WriteAll(file, report);
    CloseHandle(file);
    if (ok)
        MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

void LeaveFolder(const std::string& name)
{
    CreateDirectoryA(name.c_str(), nullptr);
    HANDLE file = CreateFileA((name + "\\left-behind.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        WriteAll(file, "made by the installer\r\n");
        CloseHandle(file);
    }
}

// Starts this program again as "--hold NAME SECONDS".
void HoldFile(const std::string& name, int seconds)
{
    char program[MAX_PATH];
    if (GetModuleFileNameA(nullptr, program, MAX_PATH) == 0)
        return;
    std::string commandLine = "KwoWardenInstaller.exe --hold \"" + name + "\" " + std::to_string(seconds);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    // The child owns the file before this process reports and ends.
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, "KwoWardenDemoHoldReady");
    if (CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child)) {
        WaitForSingleObject(ready, 10000);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    if (ready != nullptr)
        CloseHandle(ready);
}

// The child of HoldFile: opens the file without sharing it and waits.
int RunHold(const char* arguments)
{
    std::string rest(arguments);
    const size_t open = rest.find('"');
    const size_t close = open == std::string::npos ? open : rest.find('"', open + 1);
    if (close == std::string::npos)
        return 1;
    const std::string name = rest.substr(open + 1, close - open - 1);
    const int seconds = std::atoi(rest.c_str() + close + 1);
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "KwoWardenDemoHoldReady");
    if (ready != nullptr) {
        SetEvent(ready);
        CloseHandle(ready);
    }
    Sleep(static_cast<DWORD>(seconds) * 1000);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return 0;
}

const char* reportText = "";

LRESULT CALLBACK ReportWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc, &client, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        InflateRect(&client, -10, -10);
        SetBkMode(dc, TRANSPARENT);
        DrawTextA(dc, reportText, -1, &client, DT_LEFT | DT_TOP | DT_EXPANDTABS | DT_NOPREFIX);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

void ShowReport(HINSTANCE instance, const std::string& report, int seconds)
{
    reportText = report.c_str();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ReportWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.lpszClassName = "KwoWardenDemoInstaller";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Kwo Warden demo installer",
                                  WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 640, 300,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return;
    ShowWindow(window, SW_SHOWNORMAL);
    SetTimer(window, kCloseTimer, static_cast<UINT>(seconds) * 1000, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int)
{
    if (std::strncmp(arguments, "--hold ", 7) == 0)
        return RunHold(arguments + 7);

    const std::string report = BuildInstallerReport();
    const std::string leave = Environment("KWO_DEMO_LEAVE_FOLDER");
    if (!leave.empty())
        LeaveFolder(leave);
    const std::string hold = Environment("KWO_DEMO_HOLD_FILE");
    if (!hold.empty())
        HoldFile(hold, EnvironmentNumber("KWO_DEMO_HOLD_SECONDS", 5));

    WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), report);
    const std::string reportPath = Environment("KWO_DEMO_REPORT");
    if (!reportPath.empty())
        WriteReportFile(reportPath, report);

    const int seconds = EnvironmentNumber("KWO_DEMO_SECONDS", 3);
    if (seconds > 0)
        ShowReport(instance, report, seconds);
    return 0;
}
