#include "app/SetupMain.h"

#include "app/ExtractWorker.h"
#include "app/LibrarySearch.h"
#include "app/SetupState.h"
#include "app/SetupWindow.h"

int SetupMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    RestrictLibrarySearch(SystemLibrarySearchCalls());
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
    // The process must not end under a running worker: the C runtime's exit
    // would destroy what it still uses.
    StopExtraction();
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}
