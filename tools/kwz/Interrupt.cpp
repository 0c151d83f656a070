#include "tools/kwz/Interrupt.h"
#include "tools/kwz/InterruptList.h"

#include "tools/kwz/FileHandle.h"

#include "base/KwoException.h"

#include <algorithm>

const char Interrupt::kCategory[] = "Interrupted";

namespace InterruptList {

std::vector<CEntry>& Entries()
{
    static std::vector<CEntry> entries;
    return entries;
}

std::atomic<bool>& Pending()
{
    static std::atomic<bool> pending(false);
    return pending;
}

void RemoveListed()
{
    const std::vector<CEntry>& entries = Entries();
    for (size_t i = entries.size(); i-- > 0;) {
        if (entries[i].kind == CTemporaryPath::kFile)
            Platform::RemoveFileQuietly(entries[i].path);
        else
            Platform::RemoveFolderQuietly(entries[i].path);
    }
}

}  // namespace InterruptList

void Interrupt::Poll()
{
    if (InterruptList::Pending().load(std::memory_order_relaxed))
        ThrowError(kCategory, "interrupted", 0, 0);
}

void Interrupt::Request()
{
    InterruptList::Pending().store(true);
}

void Interrupt::Clear()
{
    InterruptList::Pending().store(false);
}

void CTemporaryPath::Set(const std::string& path, Kind kind)
{
    static uint64_t lastId = 0;
    Release();
    CInterruptGuard guard;
    id = ++lastId;
    InterruptList::Entries().push_back(InterruptList::CEntry{id, path, kind});
}

void CTemporaryPath::Release()
{
    if (id == 0)
        return;
    CInterruptGuard guard;
    std::vector<InterruptList::CEntry>& entries = InterruptList::Entries();
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [this](const InterruptList::CEntry& entry) { return entry.id == id; }),
                  entries.end());
    id = 0;
}
