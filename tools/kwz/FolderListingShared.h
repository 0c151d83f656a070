// What both sides of the folder listing share.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Raises "FileError" with format (one %s, for path) and the platform's text.
[[noreturn]] void RaiseFileError(const char* format, const std::string& path);

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

// Appends the expectedSize bytes of the open file (named path in messages) to
// out; raises "FileError" on a read error or when the size has changed.
void AppendOpenFile(FILE* file, const std::string& path, uint64_t expectedSize, std::string& out);
