#include "base/Paths.h"

#include "base/FolderLevelWin32.h"
#include "base/FormatString.h"
#include "base/KwoException.h"
#include "base/PathCallsWin32.h"

PathCalls& ActivePathCalls()
{
    static PathCalls calls = {GetFileAttributesA, CreateDirectoryA, FindFirstFileA, FindNextFileA, FindClose,
                              DeleteFileA, RemoveDirectoryA, CreateFileA, RemoveLinkItself};
    return calls;
}

BOOL RemoveLinkItself(LPCSTR path)
{
    // Shared for deletion, so that the deletion below can open it again; the
    // deletion takes effect when this handle closes.
    const HANDLE link = CreateFileA(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr);
    if (link == INVALID_HANDLE_VALUE)
        return FALSE;
    BY_HANDLE_FILE_INFORMATION opened;
    BOOL removed = FALSE;
    if (GetFileInformationByHandle(link, &opened)) {
        if ((opened.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            SetLastError(ERROR_ALREADY_EXISTS);
        else if ((opened.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            removed = RemoveDirectoryA(path);  // removes a junction itself, never its target
        else
            removed = DeleteFileA(path);  // removes a symbolic link itself, never its target
    }
    const DWORD error = GetLastError();
    CloseHandle(link);
    SetLastError(error);
    return removed;
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = ActivePathCalls().getFileAttributes(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsLink(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsRealFolder(DWORD attributes)
{
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && !IsLink(attributes);
}

void RaiseFolderFailure(const std::string& level, DWORD error)
{
    std::string message;
    KwoBase::FormatString(message, "Unable to create directory %s", level.c_str());
    // The nested text must describe the failure, not a query made after it.
    SetLastError(error);
    ThrowWin32Error("FileError", message.c_str(), 0, 0);
}

void CreateFolderLevel(const std::string& level)
{
    const PathCalls& calls = ActivePathCalls();
    if (calls.createDirectory(level.c_str(), nullptr))
        return;
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        // Something appeared between the walk-up and this call. A folder that
        // another process created counts as created; a link is never entered
        // but removed, and the folder made in its place.
        const DWORD attributes = calls.getFileAttributes(level.c_str());
        if (IsRealFolder(attributes))
            return;
        if (IsLink(attributes)) {
            if (calls.removeLink(level.c_str()) && calls.createDirectory(level.c_str(), nullptr))
                return;
            error = GetLastError();
        }
    }
    RaiseFolderFailure(level, error);
}

void CreateFolderTree(const std::string& path)
{
    if (FolderExists(path))
        return;

    // Walk up to the deepest level that exists. For a path ending in a
    // backslash the first cut only removes that backslash.
    std::string prefix = path;
    for (;;) {
        const size_t cut = prefix.rfind('\\');
        if (cut == std::string::npos)
            break;
        prefix.erase(cut);
        if (FolderExists(prefix))
            break;
    }

    // Create the levels below it, each one ending where the input path has its
    // next backslash; path[start] is the backslash that ends prefix.
    size_t start = prefix.size();
    for (size_t end = path.find('\\', start + 1); end != std::string::npos; end = path.find('\\', end + 1)) {
        prefix.append(path, start, end - start);
        CreateFolderLevel(prefix);
        start = end;
    }
}

std::string ShortToLongPath(const char* path)
{
    std::string rest(path);
    std::string result;
    if (rest.empty())
        return result;
    if (rest.back() == '\\')
        rest.pop_back();

    const PathCalls& calls = ActivePathCalls();
    for (;;) {
        const size_t cut = rest.rfind('\\');
        // The drive designator alone ends the walk and is kept as given.
        if (cut == std::string::npos && rest.find(':') != std::string::npos) {
            result.insert(0, rest);
            break;
        }
        // A path beginning with a backslash has nothing before it to look up.
        if (rest.empty())
            break;

        WIN32_FIND_DATAA found;
        const HANDLE search = calls.findFirstFile(rest.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            ThrowWin32Error("Error", "Unable to convert short path name to long", 0, 0);
        calls.findClose(search);

        result.insert(0, found.cFileName);
        // A relative path: its first component starts the result as it is.
        if (cut == std::string::npos)
            break;
        result.insert(0, 1, '\\');
        rest.erase(cut);
    }
    return result;
}
