#include "tools/kwz/Interrupt.h"
#include "tools/kwz/InterruptList.h"

#include <windows.h>

#include <mutex>

namespace {

// How long the console handler waits for the main thread to clean up.
constexpr DWORD kUnwindWait = 4000;

std::recursive_mutex& ListLock()
{
    static std::recursive_mutex lock;
    return lock;
}

HANDLE FinishedEvent()
{
    static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        break;
    default:
        return FALSE;
    }
    Interrupt::Request();
    // The main thread's next Poll unwinds it, and its owners remove their
    // paths; one blocked outside any Poll (reading a pipe, say) leaves the
    // removal to this thread.
    WaitForSingleObject(FinishedEvent(), kUnwindWait);
    {
        std::lock_guard<std::recursive_mutex> hold(ListLock());
        InterruptList::RemoveListed();
    }
    ExitProcess(static_cast<UINT>(Interrupt::kExitInterrupted));
}

}  // namespace

void Interrupt::InstallHandlers()
{
    FinishedEvent();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

void Interrupt::Finished()
{
    if (InterruptList::Pending().load())
        SetEvent(FinishedEvent());
}

CInterruptGuard::CInterruptGuard()
{
    ListLock().lock();
}

CInterruptGuard::~CInterruptGuard()
{
    ListLock().unlock();
}
