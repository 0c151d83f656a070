#include "tools/kwz/FileHandle.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Reads and writes larger than this are split: Linux moves at most about
// 2 GiB per call anyway.
constexpr size_t kLargestTransfer = 1u << 30;

std::string ReasonFor(int code)
{
    errno = code;
    return LastSystemReason();
}

}  // namespace

CFileHandle CFileHandle::OpenForReading(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        RaiseFileError("open", path);
    return CFileHandle(fd, path, true);
}

CFileHandle CFileHandle::OpenForWritingThrough(const std::string& path)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        RaiseFileError("open", path);
    return CFileHandle(fd, path, true);
}

CFileHandle CFileHandle::StandardInput()
{
    return CFileHandle(STDIN_FILENO, "standard input", false);
}

CFileHandle CFileHandle::StandardOutput()
{
    return CFileHandle(STDOUT_FILENO, "standard output", false);
}

bool CFileHandle::CreateNew(const std::string& path, CFileHandle& file, const std::string& displayName,
                            const std::string& modelPath)
{
    const std::string& shown = displayName.empty() ? path : displayName;
    struct stat model;
    const bool keepMode = !modelPath.empty() && stat(modelPath.c_str(), &model) == 0 && S_ISREG(model.st_mode);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        if (errno == EEXIST)
            return false;
        RaiseFileError("create", shown);
    }
    file = CFileHandle(fd, shown, true);
    // The replaced file's permissions, as cp keeps them when it overwrites.
    if (keepMode && fchmod(fd, model.st_mode & 07777) != 0)
        RaiseFileError("set the permissions of", shown);
    return true;
}

size_t CFileHandle::Read(char* buffer, size_t size)
{
    for (;;) {
        const ssize_t got = read(static_cast<int>(native), buffer, size < kLargestTransfer ? size : kLargestTransfer);
        if (got >= 0)
            return static_cast<size_t>(got);
        if (errno != EINTR)
            RaiseFileError("read", name);
    }
}

void CFileHandle::Write(const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t put = write(static_cast<int>(native), data, size < kLargestTransfer ? size : kLargestTransfer);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            RaiseFileError("write", name);
        }
        // A device that takes nothing without an error cannot take the rest either.
        if (put == 0)
            RaiseFileProblem("write", name, ReasonFor(ENOSPC));
        data += put;
        size -= static_cast<size_t>(put);
    }
}

bool CFileHandle::RegularSize(uint64_t& size) const
{
    struct stat info;
    if (fstat(static_cast<int>(native), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = static_cast<uint64_t>(info.st_size);
    return true;
}

void CFileHandle::Finish()
{
    uint64_t ignored = 0;
    // Only a regular file is put on disk; a pipe or a terminal cannot be.
    if (RegularSize(ignored) && fsync(static_cast<int>(native)) != 0)
        RaiseFileError("write", name);
    const int fd = static_cast<int>(native);
    native = kClosed;
    if (owned && close(fd) != 0 && errno != EINTR)
        RaiseFileError("write", name);
}

void CFileHandle::Close() noexcept
{
    if (native != kClosed && owned)
        close(static_cast<int>(native));
    native = kClosed;
}

namespace Platform {

COutputPlan PlanOutput(const std::string& path)
{
    struct stat here;
    if (lstat(path.c_str(), &here) != 0)
        return COutputPlan{OutputKind::kReplace, path};  // creating the temporary will say what is wrong
    struct stat followed = here;
    std::string target = path;
    if (S_ISLNK(here.st_mode)) {
        if (stat(path.c_str(), &followed) != 0)
            RaiseFileProblem("write", path, "it is a symbolic link to nothing (" + LastSystemReason() + ")");
        if (S_ISREG(followed.st_mode)) {
            // The file the link leads to is replaced; the link stays.
            std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
            if (resolved)
                return COutputPlan{OutputKind::kReplace, resolved.get()};
            return COutputPlan{OutputKind::kWriteThrough, path};
        }
    }
    const mode_t mode = followed.st_mode;
    if (S_ISREG(mode))
        return COutputPlan{OutputKind::kReplace, target};
    if (S_ISCHR(mode) || S_ISFIFO(mode))
        return COutputPlan{OutputKind::kWriteThrough, path};
    const char* what = S_ISDIR(mode) ? "a folder" : S_ISBLK(mode) ? "a block device" : S_ISSOCK(mode) ? "a socket" : "not a file";
    RaiseFileProblem("write", path, std::string("it is ") + what + (S_ISLNK(here.st_mode) ? " (through a symbolic link)" : ""));
}

bool Move(const std::string& from, const std::string& to, bool replace)
{
    if (replace)
        return rename(from.c_str(), to.c_str()) == 0;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the no-replace rename: a hard link fails on
    // anything that stands at to, just as well.
    if (link(from.c_str(), to.c_str()) != 0)
        return false;
    unlink(from.c_str());
    return true;
}

bool CreateFolder(const std::string& path)
{
    return mkdir(path.c_str(), 0777) == 0;
}

void RemoveFileQuietly(const std::string& path)
{
    unlink(path.c_str());
}

void RemoveFolderQuietly(const std::string& path)
{
    rmdir(path.c_str());
}

bool IsTerminal(int fd)
{
    return isatty(fd) == 1;
}

unsigned long ProcessId()
{
    return static_cast<unsigned long>(getpid());
}

}  // namespace Platform
