// The list of temporary paths that an interruption removes, shared by the
// platform halves of Interrupt.h. Changed only under a CInterruptGuard.
#pragma once

#include "tools/kwz/Interrupt.h"

#include <atomic>
#include <string>
#include <vector>

namespace InterruptList {

struct CEntry {
    uint64_t id;
    std::string path;
    CTemporaryPath::Kind kind;
};

std::vector<CEntry>& Entries();
std::atomic<bool>& Pending();

// Removes every listed path, the newest first (files in a folder were listed
// after it), and empties nothing: the process ends right afterwards.
// Natively it calls only unlink and rmdir, which a signal handler may call.
void RemoveListed();

}  // namespace InterruptList
