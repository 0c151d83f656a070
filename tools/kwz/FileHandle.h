// The packer's file primitives, one implementation per platform: an owned
// file handle whose every failure raises "cannot VERB NAME: REASON" with the
// system's own reason, and the few path operations that writing outputs
// needs. Paths are byte strings as the command line gives them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Raises "FileError" with "cannot ACTION PATH: REASON", the reason being the
// platform's text for the calling thread's last error code.
[[noreturn]] void RaiseFileError(const char* action, const std::string& path);
// The same with a reason of the caller's.
[[noreturn]] void RaiseFileProblem(const char* action, const std::string& path, const std::string& reason);

// The platform's one-line text for its last error code, without the
// trailing blank or line break that Windows adds.
std::string LastSystemReason();

class CFileHandle {
public:
    CFileHandle() = default;
    // Closes the handle, ignoring errors: a caller that needs to know uses Finish.
    ~CFileHandle();
    CFileHandle(CFileHandle&& other) noexcept;
    CFileHandle& operator=(CFileHandle&& other) noexcept;
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;

    // Each raises "cannot open NAME ..." when it fails.
    static CFileHandle OpenForReading(const std::string& path);
    // An existing device or pipe, written through as cp would write to it.
    static CFileHandle OpenForWritingThrough(const std::string& path);
    static CFileHandle StandardInput();
    static CFileHandle StandardOutput();
    // Creates path exclusively: false when anything already stands there
    // (nothing is opened then), a raise for any other failure. Messages name
    // displayName (path when empty). When modelPath names an existing
    // regular file, the new file gets its permissions.
    static bool CreateNew(const std::string& path, CFileHandle& file, const std::string& displayName = std::string(),
                          const std::string& modelPath = std::string());

    bool IsOpen() const { return native != kClosed; }
    const std::string& Name() const { return name; }

    // Bytes read into buffer, 0 at the end. Raises "cannot read NAME: ...".
    size_t Read(char* buffer, size_t size);
    // Writes all of data. Raises "cannot write NAME: ...".
    void Write(const char* data, size_t size);
    // The size of a regular file, or false for anything else.
    bool RegularSize(uint64_t& size) const;
    // Puts a regular file's bytes on disk and closes the handle; raises
    // "cannot write NAME: ..." when either fails.
    void Finish();

private:
    static constexpr intptr_t kClosed = -1;
    CFileHandle(intptr_t native, std::string name, bool owned);
    void Close() noexcept;

    intptr_t native = kClosed;  // a descriptor natively, a HANDLE on Windows
    std::string name;           // for messages
    bool owned = false;         // standard streams are not closed
};

namespace Platform {

// What an output path holds, and so how it is written.
enum class OutputKind {
    kReplace,       // nothing or a regular file: a temporary beside target, renamed over it at the end
    kWriteThrough,  // a character device or a pipe: written directly, as cp would
};

struct COutputPlan {
    OutputKind kind;
    std::string target;  // the path itself, or the regular file a symbolic link leads to
};

// How to write to path. Raises "cannot write PATH: it is ..." for a folder,
// a link to one or to nothing, a block device or a socket.
COutputPlan PlanOutput(const std::string& path);

// Renames from to to. Without replace, fails when to exists (as a file, a
// folder or a link, even a dangling one). False with the last error set.
bool Move(const std::string& from, const std::string& to, bool replace);
// Creates one folder level; false with the last error set (also when it exists).
bool CreateFolder(const std::string& path);
// Removals that report nothing: used on the way out of a failed command.
void RemoveFileQuietly(const std::string& path);
void RemoveFolderQuietly(const std::string& path);  // empty folders only

bool IsTerminal(int fd);
unsigned long ProcessId();

}  // namespace Platform
