#include "tests/support/FolderLinks.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

namespace {

// The mount-point form of REPARSE_DATA_BUFFER (a junction), which the
// user-mode headers do not declare.
struct MountPointHeader {
    DWORD tag;
    WORD dataLength;  // bytes after this header's first 8
    WORD reserved;
    WORD substituteOffset;
    WORD substituteLength;
    WORD printOffset;
    WORD printLength;
};

std::wstring Wide(const std::string& text)
{
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1)
        MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    return wide;
}

bool IsLinkNow(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool MakeJunction(const std::string& link, const std::string& target)
{
    if (!CreateDirectoryA(link.c_str(), nullptr))
        return false;
    const std::wstring print = Wide(target);
    const std::wstring substitute = L"\\??\\" + print;
    std::vector<BYTE> buffer(sizeof(MountPointHeader) + (substitute.size() + print.size() + 2) * sizeof(WCHAR));
    MountPointHeader header = {};
    header.tag = IO_REPARSE_TAG_MOUNT_POINT;
    header.substituteLength = static_cast<WORD>(substitute.size() * sizeof(WCHAR));
    header.printOffset = static_cast<WORD>(header.substituteLength + sizeof(WCHAR));
    header.printLength = static_cast<WORD>(print.size() * sizeof(WCHAR));
    header.dataLength = static_cast<WORD>(buffer.size() - 8);
    std::memcpy(buffer.data(), &header, sizeof header);
    std::memcpy(buffer.data() + sizeof header, substitute.c_str(), (substitute.size() + 1) * sizeof(WCHAR));
    std::memcpy(buffer.data() + sizeof header + header.printOffset, print.c_str(), (print.size() + 1) * sizeof(WCHAR));

    HANDLE folder = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const bool made = folder != INVALID_HANDLE_VALUE &&
                      DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      nullptr, 0, &returned, nullptr);
    if (folder != INVALID_HANDLE_VALUE)
        CloseHandle(folder);
    if (!made)
        RemoveDirectoryA(link.c_str());  // still the empty folder made above
    return made;
}

// Wine's conversion of a Windows path to the Unix one; empty outside Wine.
std::string UnixPath(const std::string& path)
{
    typedef char*(CDECL * ToUnix)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return std::string();
    char* converted = toUnix(Wide(path).c_str());
    if (converted == nullptr)
        return std::string();
    std::string result(converted);
    HeapFree(GetProcessHeap(), 0, converted);
    return result;
}

// The Unix path of a name in a folder whose own path has no links: Wine
// would resolve a link at the end of the path itself.
std::string UnixPathOfName(const std::string& path)
{
    const size_t cut = path.find_last_of('\\');
    if (cut == std::string::npos)
        return std::string();
    const std::string folder = UnixPath(path.substr(0, cut));
    return folder.empty() ? folder : folder + "/" + path.substr(cut + 1);
}

// Runs a shell command on the Unix side of Wine and waits until it has run.
// Wine starts Unix programs without a process handle, so the command leaves
// a marker file behind as its last act.
bool RunUnixCommand(const std::string& command)
{
    char temporary[MAX_PATH];
    GetTempPathA(MAX_PATH, temporary);
    static unsigned counter = 0;
    const std::string marker = std::string(temporary) + "kwo-unix-" + std::to_string(GetCurrentProcessId()) + "-" +
                               std::to_string(++counter) + ".done";
    const std::string unixMarker = UnixPathOfName(marker);
    if (unixMarker.empty())
        return false;
    std::string line = "/bin/sh -c \"" + command + "; touch '" + unixMarker + "'\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return false;
    if (started.hProcess != nullptr)
        CloseHandle(started.hProcess);
    if (started.hThread != nullptr)
        CloseHandle(started.hThread);
    const DWORD start = GetTickCount();
    while (GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > 20000)
            return false;
        Sleep(10);
    }
    DeleteFileA(marker.c_str());
    return true;
}

std::string Quoted(const std::string& unixPath)
{
    return "'" + unixPath + "'";
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target)
{
    if (MakeJunction(link, target))
        return true;
    const std::string unixLink = UnixPathOfName(link);
    const std::string unixTarget = UnixPath(target);
    if (unixLink.empty() || unixTarget.empty())
        return false;
    return RunUnixCommand("ln -s " + Quoted(unixTarget) + " " + Quoted(unixLink)) && IsLinkNow(link);
}

bool RemoveFolderLink(const std::string& link)
{
    const std::string unixLink = UnixPathOfName(link);
    if (!unixLink.empty())
        return RunUnixCommand("if [ -L " + Quoted(unixLink) + " ]; then rm -f " + Quoted(unixLink) + "; fi") &&
               !IsLinkNow(link);
    // Windows removes a junction itself, whatever it points to.
    if (IsLinkNow(link))
        RemoveDirectoryA(link.c_str());
    return !IsLinkNow(link);
}

bool SwapFolderForLink(const std::string& folder, const std::string& aside, const std::string& target)
{
    const std::string unixFolder = UnixPathOfName(folder);
    if (unixFolder.empty())
        return MoveFileExA(folder.c_str(), aside.c_str(), 0) && MakeFolderLink(folder, target);
    return RunUnixCommand("mv " + Quoted(unixFolder) + " " + Quoted(UnixPathOfName(aside)) + " && ln -s " +
                          Quoted(UnixPath(target)) + " " + Quoted(unixFolder)) &&
           IsLinkNow(folder);
}

bool PlatformOpensLinksThemselves()
{
    static const bool opensThemselves = [] {
        char temporary[MAX_PATH];
        GetTempPathA(MAX_PATH, temporary);
        const std::string base = std::string(temporary) + "kwo-link-probe-" + std::to_string(GetCurrentProcessId());
        const std::string target = base + "-target";
        const std::string link = base + "-link";
        CreateDirectoryA(target.c_str(), nullptr);
        bool itself = false;
        if (MakeFolderLink(link, target)) {
            HANDLE opened = CreateFileA(link.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
            BY_HANDLE_FILE_INFORMATION info;
            itself = opened != INVALID_HANDLE_VALUE && GetFileInformationByHandle(opened, &info) &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (opened != INVALID_HANDLE_VALUE)
                CloseHandle(opened);
            RemoveFolderLink(link);
        }
        RemoveDirectoryA(target.c_str());
        return itself;
    }();
    return opensThemselves;
}
