// Stream buffers over bytes in memory for the codec. The input hands out its
// bytes in pieces so that a progress bar can follow the reader; the output
// grows a string in place, so a decoded image is not copied afterwards.
#pragma once

#include "tools/kwz/ProgressBar.h"

#include <streambuf>
#include <string>

class CMemoryInputBuffer : public std::streambuf {
public:
    // No copy is made: data must outlive the buffer. bar may be null.
    CMemoryInputBuffer(const std::string& data, CProgressBar* bar);

protected:
    int_type underflow() override;

private:
    const char* first;
    const char* last;
    const char* next;  // start of the piece not yet handed out
    CProgressBar* bar;
};

class CStringOutputBuffer : public std::streambuf {
public:
    // Takes at most limit bytes; a write beyond it fails (the stream goes bad).
    explicit CStringOutputBuffer(size_t limit);
    // The bytes written so far, moved out; the buffer is empty afterwards.
    std::string Take();
    // True once a write went beyond the limit.
    bool Overflowed() const { return overflowed; }

protected:
    int_type overflow(int_type c) override;
    // Only the position, for tellp: the bytes written so far.
    pos_type seekoff(off_type offset, std::ios_base::seekdir way, std::ios_base::openmode which) override;

private:
    size_t Written() const;

    std::string bytes;     // written bytes, then the free rest of the put area
    size_t areaStart = 0;  // where in bytes the put area begins
    size_t limit;
    bool overflowed = false;
};
