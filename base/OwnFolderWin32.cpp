#include "base/OwnFolderWin32.h"

#include "base/FolderLevelWin32.h"
#include "base/PathCallsWin32.h"
#include "base/Paths.h"

#include <cstring>

namespace {

// The hold: the folder listed (a data right, so that the sharing rules apply
// to others), not shared for deletion, so that nobody can rename or delete it
// while it is held. Files in it can still be created and deleted, and a
// process can still have it as its current folder.
constexpr DWORD kHoldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Opens the object of the name itself, a link included, and opens folders.
constexpr DWORD kOpenAsItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

bool IsDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

// Makes the last level of a path a real folder: a link there is removed, a
// file deleted, then the folder is created unless a real one is there.
void MakeRealFolder(const std::string& level)
{
    const PathCalls& calls = ActivePathCalls();
    const DWORD attributes = calls.getFileAttributes(level.c_str());
    if (IsRealFolder(attributes))
        return;
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const BOOL removed = IsLink(attributes) ? calls.removeLink(level.c_str()) : calls.deleteFile(level.c_str());
        if (!removed)
            RaiseFolderFailure(level, GetLastError());
    }
    CreateFolderLevel(level);
}

// Deletes the files and links directly in folder (ending in a backslash), in
// the order of the listing; sub-folders stay. Returns 0, or the error of the
// first entry that could not be deleted or of a listing that failed; with
// stopAtFailure it stops there, otherwise it goes on with the next entry.
DWORD DeleteFilesIn(const std::string& folder, bool stopAtFailure)
{
    const PathCalls& calls = ActivePathCalls();
    WIN32_FIND_DATAA found;
    const HANDLE listing = calls.findFirstFile((folder + "*").c_str(), &found);
    if (listing == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : error;  // not even "." and ".."
    }
    DWORD failure = 0;
    for (;;) {
        if (!IsDotEntry(found.cFileName) && !IsRealFolder(found.dwFileAttributes)) {
            const std::string entry = folder + found.cFileName;
            const BOOL deleted = IsLink(found.dwFileAttributes) ? calls.removeLink(entry.c_str())
                                                                : calls.deleteFile(entry.c_str());
            if (!deleted && failure == 0)
                failure = GetLastError();
            if (failure != 0 && stopAtFailure)
                break;
        }
        if (!calls.findNextFile(listing, &found)) {
            if (failure == 0 && GetLastError() != ERROR_NO_MORE_FILES)
                failure = GetLastError();
            break;
        }
    }
    calls.findClose(listing);
    return failure;
}

bool SameObject(HANDLE a, HANDLE b)
{
    BY_HANDLE_FILE_INFORMATION first, second;
    return GetFileInformationByHandle(a, &first) && GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow &&
           IsRealFolder(second.dwFileAttributes);
}

}  // namespace

COwnFolder::~COwnFolder()
{
    Release();
}

void COwnFolder::Release() noexcept
{
    if (hold != INVALID_HANDLE_VALUE)
        CloseHandle(hold);
    hold = INVALID_HANDLE_VALUE;
}

void COwnFolder::Take(const std::string& folder, DWORD extraAccess)
{
    Release();
    std::string place = folder;
    if (!place.empty() && place.back() == '\\')
        place.pop_back();
    // The levels above; CreateFolderTree takes the last one for a file name.
    CreateFolderTree(place);
    MakeRealFolder(place);

    const PathCalls& calls = ActivePathCalls();
    const HANDLE held =
        calls.createFile(place.c_str(), kHoldAccess | extraAccess, kHoldShare, nullptr, OPEN_EXISTING, kOpenAsItself, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        RaiseFolderFailure(place, GetLastError());
    // Whatever took the folder's place between its creation and the hold is
    // not ours. Wine opens what a link points to whatever it is asked, so the
    // name is asked as well.
    BY_HANDLE_FILE_INFORMATION opened;
    if (!GetFileInformationByHandle(held, &opened) || !IsRealFolder(opened.dwFileAttributes) ||
        !IsRealFolder(calls.getFileAttributes(place.c_str()))) {
        CloseHandle(held);
        RaiseFolderFailure(place, ERROR_ALREADY_EXISTS);
    }
    hold = held;
    path = place + '\\';
    level = place;
}

void COwnFolder::RemoveLeftovers()
{
    const DWORD failure = DeleteFilesIn(path, true);
    if (failure != 0)
        RaiseFolderFailure(level, failure);
}

bool COwnFolder::StillInPlace() const
{
    const PathCalls& calls = ActivePathCalls();
    const HANDLE now = calls.createFile(level.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        kOpenAsItself, nullptr);
    if (now == INVALID_HANDLE_VALUE)
        return false;
    const bool same = SameObject(hold, now) && IsRealFolder(calls.getFileAttributes(level.c_str()));
    CloseHandle(now);
    return same;
}

void COwnFolder::Remove() noexcept
{
    if (!Held())
        return;
    const PathCalls& calls = ActivePathCalls();
    try {
        if (StillInPlace()) {
            DeleteFilesIn(path, false);
            Release();  // a folder held open cannot go
            calls.removeDirectory(level.c_str());
        } else {
            // Swapped meanwhile: the folder held is elsewhere now, and what
            // the path names is not ours. Only a link there goes.
            Release();
            if (IsLink(calls.getFileAttributes(level.c_str())))
                calls.removeLink(level.c_str());
        }
    } catch (...) {
        // No memory for a path: what is left stays, as after a failed delete.
    }
    Release();
}
