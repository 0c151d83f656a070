// Writer of archive images in the layout the launcher carries (see
// ArchiveFormat.h): the header, the records in the given order, then each
// file's data directly after the directory, in the same order, no gaps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ArchiveFileInfo {
    std::string name;  // stored as given, a NUL appended
    uint64_t size;
};

// Bytes of the image for files: header, records and data.
uint64_t ArchiveImageSize(const std::vector<ArchiveFileInfo>& files);

// The header and directory for files; the caller appends the files' data in
// the same order. files must pass ArchiveImageSize(files) <= kLargestImage.
std::string ArchiveDirectoryBytes(const std::vector<ArchiveFileInfo>& files);
