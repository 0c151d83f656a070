// What both sides of the folder listing share.
#pragma once

#include <cstdint>
#include <string>

class CProgressBar;

// Reads the expectedSize bytes of a file through read (a platform's read
// call: bytes into buffer, 0 at the end) and appends them to out, telling
// bar; raises "FileError" naming path when the file turns out longer or
// shorter.
template <typename ReadFn>
void AppendAll(ReadFn read, const std::string& path, uint64_t expectedSize, std::string& out, CProgressBar* bar);

// The text for a file that changed between the listing and its reading.
[[noreturn]] void RaiseChangedFile(const std::string& path);

#include "tools/kwz/Interrupt.h"
#include "tools/kwz/ProgressBar.h"

template <typename ReadFn>
void AppendAll(ReadFn read, const std::string& path, uint64_t expectedSize, std::string& out, CProgressBar* bar)
{
    constexpr size_t kPiece = 1u << 20;
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(expectedSize));
    uint64_t done = 0;
    while (done < expectedSize) {
        Interrupt::Poll();
        const uint64_t left = expectedSize - done;
        const size_t got = read(&out[start + static_cast<size_t>(done)], left < kPiece ? static_cast<size_t>(left) : kPiece);
        if (got == 0)
            RaiseChangedFile(path);
        done += got;
        if (bar != nullptr)
            bar->Update(start + done);
    }
    // One byte more than listed: the file grew since the listing.
    char extra = 0;
    if (read(&extra, 1) != 0)
        RaiseChangedFile(path);
}
