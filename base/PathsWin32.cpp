#include "base/Paths.h"

#include "base/FormatString.h"
#include "base/KwoException.h"
#include "base/PathCallsWin32.h"

PathCalls& ActivePathCalls()
{
    static PathCalls calls = {GetFileAttributesA, CreateDirectoryA, FindFirstFileA, FindClose};
    return calls;
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = ActivePathCalls().getFileAttributes(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

// Creates one level. Fails only when the level is not a folder afterwards:
// if another process created it between the walk-up and this call,
// CreateDirectoryA reports ERROR_ALREADY_EXISTS and the folder is there.
void CreateLevel(const std::string& level)
{
    if (ActivePathCalls().createDirectory(level.c_str(), nullptr))
        return;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS && FolderExists(level))
        return;
    std::string message;
    KwoBase::FormatString(message, "Unable to create directory %s", level.c_str());
    // The nested text must describe the failed creation, not the query after it.
    SetLastError(error);
    ThrowWin32Error("FileError", message.c_str(), 0, 0);
}

}  // namespace

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
        CreateLevel(prefix);
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
