// Whole-file input and outputs that never hurt what they replace, for the
// packer's commands.
//
// An output path is written according to what stands there:
//   -                   standard output;
//   nothing, or a regular file
//                       a temporary beside it, created exclusively, renamed
//                       over it once complete: the old file stays whole
//                       until then, and a failure leaves it as it was;
//   a symbolic link     the file it leads to, the same way; the link stays;
//   a character device or a pipe (/dev/null, a FIFO, NUL on Windows)
//                       written through, as cp would write to it;
//   anything else       refused, saying what it is.
#pragma once

#include "tools/kwz/FileHandle.h"
#include "tools/kwz/Interrupt.h"

#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

// How messages name path: "-" is standard input or standard output.
std::string InputName(const std::string& path);
std::string OutputName(const std::string& path);

// True when path names a folder; "-" never does.
bool IsFolder(const std::string& path);

// Reads all of path ("-" is standard input). Raises "FileError".
std::string ReadInputFile(const std::string& path);

// Writes text to standard output and flushes it; raises "cannot write
// standard output: REASON" when any of it cannot be written.
void WriteStandardOutput(const std::string& text);

class COutputFile {
public:
    explicit COutputFile(const std::string& path);
    // Without Commit, removes the temporary: a failed command leaves nothing.
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // A buffered stream over the output. A failed write raises the
    // "cannot write PATH: REASON" error through it (its exception mask
    // holds badbit), so a codec writing here cannot take it for success.
    std::ostream& Stream() { return stream; }
    void Write(const std::string& data);
    const std::string& Path() const { return path; }

    // Flushes and closes the output and, for a temporary, puts it on disk and
    // renames it into place. Raises "FileError".
    void Commit();

private:
    class CBuffer : public std::streambuf {
    public:
        explicit CBuffer(CFileHandle& file);
        void Drain();  // writes out what is buffered

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* bytes, std::streamsize count) override;
        int sync() override;
        // Only the position, for tellp: the bytes written so far.
        pos_type seekoff(off_type offset, std::ios_base::seekdir way, std::ios_base::openmode which) override;

    private:
        CFileHandle& file;
        std::vector<char> area;
        uint64_t drained = 0;  // bytes handed to the file
    };

    std::string path;       // as given
    std::string target;     // what the temporary replaces
    std::string temporary;  // empty when written through or to standard output
    CTemporaryPath listed;  // the temporary, for removal on interruption
    CFileHandle file;
    CBuffer buffer;
    std::ostream stream;
    bool committed = false;
};

// Writes all of data to path through a COutputFile.
void WriteOutputFile(const std::string& path, const std::string& data);
