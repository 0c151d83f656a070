#include "tools/kwz/FileHandle.h"

#include <windows.h>

#include <vector>

namespace {

constexpr DWORD kLargestTransfer = 1u << 30;

HANDLE Native(intptr_t native)
{
    return reinterpret_cast<HANDLE>(native);
}

intptr_t Wrap(HANDLE handle)
{
    return reinterpret_cast<intptr_t>(handle);
}

// Every file kwz opens may be deleted while open: the console handler
// removes temporaries that the main thread still writes.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

CFileHandle CFileHandle::OpenForReading(const std::string& path)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        RaiseFileError("open", path);
    return CFileHandle(Wrap(file), path, true);
}

CFileHandle CFileHandle::OpenForWritingThrough(const std::string& path)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        RaiseFileError("open", path);
    return CFileHandle(Wrap(file), path, true);
}

CFileHandle CFileHandle::StandardInput()
{
    return CFileHandle(Wrap(GetStdHandle(STD_INPUT_HANDLE)), "standard input", false);
}

CFileHandle CFileHandle::StandardOutput()
{
    return CFileHandle(Wrap(GetStdHandle(STD_OUTPUT_HANDLE)), "standard output", false);
}

bool CFileHandle::CreateNew(const std::string& path, CFileHandle& file, const std::string& displayName,
                            const std::string& modelPath)
{
    (void)modelPath;  // attributes of a replaced file are not carried over on Windows
    const std::string& shown = displayName.empty() ? path : displayName;
    const HANDLE created =
        CreateFileA(path.c_str(), GENERIC_WRITE, kShareAll, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
            return false;
        RaiseFileError("create", shown);
    }
    file = CFileHandle(Wrap(created), shown, true);
    return true;
}

size_t CFileHandle::Read(char* buffer, size_t size)
{
    DWORD got = 0;
    const DWORD wanted = size < kLargestTransfer ? static_cast<DWORD>(size) : kLargestTransfer;
    if (!ReadFile(Native(native), buffer, wanted, &got, nullptr)) {
        // The writer of a pipe closing its end is the pipe's end of file.
        if (GetLastError() == ERROR_BROKEN_PIPE)
            return 0;
        RaiseFileError("read", name);
    }
    return got;
}

void CFileHandle::Write(const char* data, size_t size)
{
    while (size > 0) {
        DWORD put = 0;
        const DWORD chunk = size < kLargestTransfer ? static_cast<DWORD>(size) : kLargestTransfer;
        if (!WriteFile(Native(native), data, chunk, &put, nullptr))
            RaiseFileError("write", name);
        if (put == 0) {
            SetLastError(ERROR_DISK_FULL);
            RaiseFileError("write", name);
        }
        data += put;
        size -= put;
    }
}

bool CFileHandle::RegularSize(uint64_t& size) const
{
    LARGE_INTEGER length;
    if (GetFileType(Native(native)) != FILE_TYPE_DISK || !GetFileSizeEx(Native(native), &length))
        return false;
    size = static_cast<uint64_t>(length.QuadPart);
    return true;
}

void CFileHandle::Finish()
{
    const HANDLE file = Native(native);
    if (GetFileType(file) == FILE_TYPE_DISK && !FlushFileBuffers(file))
        RaiseFileError("write", name);
    native = kClosed;
    if (owned && !CloseHandle(file))
        RaiseFileError("write", name);
}

void CFileHandle::Close() noexcept
{
    if (native != kClosed && owned)
        CloseHandle(Native(native));
    native = kClosed;
}

namespace Platform {

COutputPlan PlanOutput(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return COutputPlan{OutputKind::kReplace, path};
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        RaiseFileProblem("write", path, "it is a folder");
    const HANDLE file = CreateFileA(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return COutputPlan{OutputKind::kReplace, path};  // the rename will say what is wrong
    const DWORD type = GetFileType(file);
    std::string target = path;
    if (type == FILE_TYPE_DISK && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A symbolic link: the file it leads to is replaced, the link stays.
        std::vector<char> resolved(32768);
        const DWORD length = GetFinalPathNameByHandleA(file, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
        if (length == 0 || length >= resolved.size()) {
            CloseHandle(file);
            RaiseFileProblem("write", path, "it is a link whose target cannot be found");
        }
        target.assign(resolved.data(), length);
    }
    CloseHandle(file);
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE)
        return COutputPlan{OutputKind::kWriteThrough, path};
    if (type != FILE_TYPE_DISK)
        RaiseFileProblem("write", path, "it is not a file");
    return COutputPlan{OutputKind::kReplace, target};
}

bool Move(const std::string& from, const std::string& to, bool replace)
{
    return MoveFileExA(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH : MOVEFILE_WRITE_THROUGH) != 0;
}

bool CreateFolder(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

void RemoveFileQuietly(const std::string& path)
{
    DeleteFileA(path.c_str());
}

void RemoveFolderQuietly(const std::string& path)
{
    RemoveDirectoryA(path.c_str());
}

bool IsTerminal(int fd)
{
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(fd == 2 ? STD_ERROR_HANDLE : fd == 1 ? STD_OUTPUT_HANDLE : STD_INPUT_HANDLE);
    return GetConsoleMode(handle, &mode) != 0;
}

unsigned long ProcessId()
{
    return GetCurrentProcessId();
}

}  // namespace Platform
