// A folder that this run made its own: a real folder, never a link, that it
// holds open from Take to Remove so that nobody can rename or delete it
// meanwhile. A link found in its place is removed, never entered; the files
// found in it can be removed before anything is written; and the cleanup
// works only on the folder held, never on what a link in its place points to.
// Every file-system call goes through ActivePathCalls().
#pragma once

#include <windows.h>

#include <string>

class COwnFolder {
public:
    COwnFolder() = default;
    // Lets go of the folder; it stays on disk.
    ~COwnFolder();
    COwnFolder(const COwnFolder&) = delete;
    COwnFolder& operator=(const COwnFolder&) = delete;

    // Makes folder (a path ending in a backslash) a real folder and holds it:
    // missing levels above it are created (CreateFolderTree), a link of its
    // name is removed, a file of its name is deleted, and a missing folder is
    // created; a folder that is there already is kept with what it holds. The
    // hold has extraAccess on top of its own rights (to change the folder's
    // security, say). Raises "FileError" "Unable to create directory FOLDER"
    // (without the trailing backslash) with the platform's text when any step
    // fails; nothing is held then.
    void Take(const std::string& folder, DWORD extraAccess = 0);

    // Deletes every file directly in the held folder, links among them
    // removed, never followed; sub-folders stay. Raises as Take, at the first
    // file that cannot be deleted (one held open, say) or when the folder
    // cannot be listed.
    void RemoveLeftovers();

    // Deletes the files directly in the held folder by name, then the folder;
    // whatever cannot be deleted stays, and nothing is reported. When the
    // path no longer names the held folder (it was swapped for a link), only
    // a link there is removed and nothing behind it is touched. Nothing is
    // held afterwards. Does nothing when nothing is held.
    void Remove() noexcept;

    // Lets go of the folder without removing it.
    void Release() noexcept;

    bool Held() const { return hold != INVALID_HANDLE_VALUE; }
    // The open folder, for changing its security.
    HANDLE Handle() const { return hold; }

private:
    // True while the path names the held folder itself and is no link.
    bool StillInPlace() const;

    std::string path;   // as given to Take, ending in a backslash
    std::string level;  // path without its trailing backslash
    HANDLE hold = INVALID_HANDLE_VALUE;
};
