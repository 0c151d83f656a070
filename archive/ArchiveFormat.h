// Archive image layout, shared by the reader and the writer.
//
// Format notes. Integers are unsigned 32-bit little-endian, unaligned;
// offsets count from the first byte of the image.
//   0   29  signature "KwoIncorporated.Archive.KWAR" and one NUL
//   29   4  directory end: first byte after the last record (never read)
//   33   4  entry count
//   37      records, back to back, in entry order:
//             4  name length n, the NUL included
//             n  name in the ANSI code page; the text before the first NUL
//             4  size of the file's data
//             4  offset of the file's data
// Written images put the data directly after the directory in directory
// order; a reader takes every offset as stored, so data areas may be shared
// or out of order, but each one must lie inside the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr char kArchiveSignature[] = "KwoIncorporated.Archive.KWAR";
constexpr size_t kSignatureSize = sizeof kArchiveSignature;  // 29, the NUL included
constexpr size_t kDirectoryEndOffset = 29;
constexpr size_t kEntryCountOffset = 33;
constexpr size_t kHeaderSize = 37;
// A record without its name: length, size and offset fields.
constexpr size_t kRecordFixedSize = 12;
// The shortest record that can pass: a one-character name and its NUL.
constexpr size_t kSmallestRecord = kRecordFixedSize + 2;
// Every size and offset field, and so every image, stays below this.
constexpr uint64_t kLargestImage = 0xFFFFFFFFu;

// One directory record as read from an image, checked against its length.
struct ArchiveRecord {
    std::string name;
    uint32_t size;
    uint32_t offset;
};

// Reads the directory of image[0, length). Returns false, with the reason in
// problem, unless the signature matches, every record lies inside the image,
// every name is a plain file name (ArchiveName.h) and every data area lies
// inside the image. records is filled only on success.
bool ReadArchiveDirectory(const uint8_t* image, size_t length, std::vector<ArchiveRecord>& records,
                          std::string& problem);

// Little-endian 32-bit value at p.
inline uint32_t ReadUint32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
