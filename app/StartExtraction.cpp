// The main thread's half of the extraction.
#include "app/ExtractWorker.h"

#include "app/ExtractionFolder.h"
#include "app/SetupState.h"
#include "base/FolderPath.h"
#include "base/KwoException.h"
#include "base/Paths.h"

#include <vector>

namespace {

// The user's temporary folder as the platform reports it.
std::string TemporaryFolder()
{
    DWORD size = GetTempPathA(0, nullptr);
    // The path may change between the two calls; a second answer that no
    // longer fits is asked again with the new size.
    for (int attempt = 0; attempt < 3 && size != 0; ++attempt) {
        std::vector<char> buffer(size);
        const DWORD length = GetTempPathA(size, buffer.data());
        if (length == 0)
            break;
        if (length < size)
            return std::string(buffer.data(), length);
        size = length + 1;
    }
    ThrowWin32Error("Error", "Unable to find Windows Temp folder", 0, 0);
}

}  // namespace

void StartExtraction(HWND window)
{
    const std::string temporary = TemporaryFolder();
    std::string folder = MakeFolderPath(ShortToLongPath(temporary.c_str()).c_str());
    folder += "KwoWarden.tmp\\";
    PrepareExtractionFolder(folder);

    // The worker reports its end by WM_SETUP_DONE; the handle is kept for
    // StopExtraction, so that the process never ends under it.
    workerThread = CreateThread(nullptr, 0, ExtractWorker, window, 0, nullptr);
    if (workerThread == nullptr) {
        MessageBoxA(window, "Unable to extract the files.", "Error", MB_OK | MB_ICONERROR);
        PostQuitMessage(0);
    }
}

void StopExtraction()
{
    stopRequested.store(true);
    if (workerThread == nullptr)
        return;
    WaitForSingleObject(workerThread, INFINITE);
    CloseHandle(workerThread);
    workerThread = nullptr;
}
