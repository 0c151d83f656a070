#include "tools/kwz/Interrupt.h"
#include "tools/kwz/InterruptList.h"

#include <csignal>
#include <unistd.h>

namespace {

const int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t HandledSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kSignals)
        sigaddset(&set, signal);
    return set;
}

// Removes kwz's temporary paths, then ends the process by the same signal,
// so that the caller sees the conventional status (128 + the signal's number
// in a shell).
void OnSignal(int signal)
{
    InterruptList::RemoveListed();
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached: the default action ends the process
}

}  // namespace

void Interrupt::InstallHandlers()
{
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    // While one handler removes the paths, the other signals wait.
    action.sa_mask = HandledSignals();
    for (int signal : kSignals) {
        // A signal ignored by whoever started kwz (nohup, a shell's
        // background job) stays ignored.
        struct sigaction previous = {};
        if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        sigaction(signal, &action, nullptr);
    }
}

void Interrupt::Finished()
{
}

// Guards nest: the signals stay blocked until the outermost one ends. kwz
// runs on one thread, so a plain counter serves.
namespace {
int guardDepth = 0;
}  // namespace

CInterruptGuard::CInterruptGuard()
{
    if (guardDepth++ == 0) {
        const sigset_t set = HandledSignals();
        sigprocmask(SIG_BLOCK, &set, nullptr);
    }
}

CInterruptGuard::~CInterruptGuard()
{
    if (--guardDepth == 0) {
        const sigset_t set = HandledSignals();
        sigprocmask(SIG_UNBLOCK, &set, nullptr);
    }
}
