#include "app/SetupMain.h"

#include "app/SetupState.h"
#include "app/SetupWindow.h"

namespace {

// DLLs that the platform loads on the program's behalf come from the system
// folder only, never from the folder the launcher was downloaded into. The
// call exists from Windows 8 (and updated Windows 7) on; older systems skip it.
void RestrictLibrarySearch()
{
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr)
        return;
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDefault != nullptr)
        setDefault(0x00000800);  // LOAD_LIBRARY_SEARCH_SYSTEM32
}

}  // namespace

int SetupMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RestrictLibrarySearch();
    LoadStringA(instance, IDS_WINDOW_TITLE, windowTitle, kTextBufferSize);
    LoadStringA(instance, IDS_WINDOW_CLASS, windowClassName, kTextBufferSize);
    RegisterSetupWindowClass(instance);
    if (!CreateSetupWindow(instance, showCommand))
        return 0;

    MSG message;
    // GetMessageA answers -1 on failure; that ends the loop like the quit.
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}
