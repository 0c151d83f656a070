// Whole-file input and all-or-nothing output for the packer's commands.
#pragma once

#include <fstream>
#include <iosfwd>
#include <string>

// Reads all of path ("-" is standard input). Raises "FileError" on failure.
std::string ReadInputFile(const std::string& path);

// An output file that appears only when complete: the bytes go to a temporary
// file beside the target, which Commit renames into place. Destroyed without
// Commit, it removes the temporary, so a failed command leaves nothing behind.
// "-" writes to standard output directly.
class COutputFile {
public:
    explicit COutputFile(const std::string& path);
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    std::ostream& Stream();
    const std::string& Path() const { return path; }

    // Flushes and closes the file and moves it into place. Raises "FileError".
    void Commit();

private:
    std::string path;
    std::string temporary;  // empty for standard output
    std::ofstream file;
    bool committed = false;
};

// Writes all of data to path through a COutputFile.
void WriteOutputFile(const std::string& path, const std::string& data);

// Platform services, one file per side.
namespace Platform {
void SetBinaryStandardStreams();
bool IsTerminal(int fd);
unsigned long ProcessId();
// Moves from over to, replacing to. Returns false on failure (last error set).
bool MoveOver(const std::string& from, const std::string& to);
void RemoveFileQuietly(const std::string& path);
}  // namespace Platform
