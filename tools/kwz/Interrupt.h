// Interruptions: SIGINT, SIGTERM and SIGHUP natively; Ctrl+C, Ctrl+Break and
// the closing of the console on Windows. kwz's own temporary outputs (the
// temporary file beside an output, unpack's staging folder and the files in
// it) are listed here while they exist, and an interruption removes them
// before kwz ends with the conventional status: killed by the signal
// natively, STATUS_CONTROL_C_EXIT (0xC000013A) on Windows.
//
// Natively the signal handler itself removes the listed paths, with
// async-signal-safe calls only (unlink, rmdir), then ends the process by the
// same signal. On Windows the console handler runs on a thread of its own:
// it asks the main thread to stop at its next Poll, which raises
// "Interrupted" so that the owners remove their paths as on any error, and
// removes what is still listed itself if the main thread does not end soon.
#pragma once

#include <cstdint>
#include <string>

namespace Interrupt {

// The category of the raise that Poll makes.
extern const char kCategory[];
// The exit code of an interrupted run on Windows.
constexpr int kExitInterrupted = static_cast<int>(0xC000013Au);

// Installs the handlers; called once by KwzMain.
void InstallHandlers();
// Raises "Interrupted" when an interruption asked the main thread to stop.
// Cheap: long loops call it on every piece of work.
void Poll();
// What the Windows console handler does first; tests call it directly.
void Request();
// Forgets a request once the run it ended has been reported.
void Clear();
// Tells a waiting console handler that the main thread has cleaned up.
void Finished();

}  // namespace Interrupt

// A temporary path of kwz's own, listed for removal on interruption from
// Set until Release or destruction. Its owner removes it on every normal
// path; the listing only covers the interrupted ones.
class CTemporaryPath {
public:
    enum Kind { kFile, kFolder };

    CTemporaryPath() = default;
    ~CTemporaryPath() { Release(); }
    CTemporaryPath(const CTemporaryPath&) = delete;
    CTemporaryPath& operator=(const CTemporaryPath&) = delete;

    void Set(const std::string& path, Kind kind);
    // No longer kwz's to remove: it was renamed into place, or removed.
    void Release();

private:
    uint64_t id = 0;  // 0 while nothing is listed
};

// Holds interruptions off while a path is created and listed, so that no
// path exists unlisted: natively it blocks the signals, on Windows it
// keeps the console handler from reading the list.
class CInterruptGuard {
public:
    CInterruptGuard();
    ~CInterruptGuard();
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;
};
