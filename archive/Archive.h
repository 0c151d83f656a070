// Reader of archive images (layout in ArchiveFormat.h): a fixed header, a
// directory of length-prefixed names with size and offset, then the files'
// bytes. Loading works in place: every chunk points into the caller's image,
// which must stay valid and unchanged until the archive is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <ios>
#include <memory>
#include <string>
#include <vector>

// A piece of an entry's content. Loading gives each entry one chunk that
// covers the whole file and points into the image.
class CArchiveChunk {
public:
    CArchiveChunk() = default;
    ~CArchiveChunk() { delete[] data; }
    CArchiveChunk(const CArchiveChunk&) = delete;
    CArchiveChunk& operator=(const CArchiveChunk&) = delete;

    uint8_t* data = nullptr;  // owned, unless the archive was loaded in place
    uint32_t capacity = 0;    // bytes available at data
    uint32_t length = 0;      // bytes of content; what extraction writes
    uint32_t cursor = 0;      // unused by the archive's operations
};

class CArchiveEntry {
public:
    std::string name;  // a plain file name (ArchiveName.h)
    uint32_t size = 0;
    std::vector<std::unique_ptr<CArchiveChunk>> chunks;  // the content, in order
    uint32_t reserved[2] = {0, 0};                      // unused
};

class CArchive {
public:
    CArchive() = default;
    // Releases every entry and chunk, never the image.
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // Reads the directory of image[0, length) in place. Raises "ArchiveError"
    // "Archive is corrupted." (with the nested platform text) before taking
    // anything when the signature does not match, a record or data area lies
    // outside the image, a name field holds no NUL or a name is not a plain
    // file name. Meant to be called once, on a fresh archive.
    void Load(const uint8_t* image, size_t length);

    uint32_t GetEntryCount() const;
    // Entry index, below GetEntryCount.
    const CArchiveEntry& GetEntry(uint32_t index) const;

    // Writes entry index (below GetEntryCount) as a file into folder, an
    // existing folder given with or without its trailing separator; an
    // existing file of the name is truncated first. Raises "ArchiveError"
    // "Error while extracting file from archive. Details: %s" when the file
    // cannot be written; a partly written file then stays.
    void ExtractEntry(uint32_t index, const char* folder);

private:
    std::vector<std::unique_ptr<CArchiveEntry>> entries;  // in directory order
    bool inPlace = false;  // set by Load: the chunks' data belong to the image
};

// The text after "Details: " for a standard exception out of extraction, as
// the system reports it: "ios_base::failbit set" or "ios_base::badbit set"
// for a stream failure (by the stream's state), "bad allocation" when memory
// ran out, else the exception's own text.
std::string ExtractionFailureDetails(const std::exception& failure, std::ios_base::iostate streamState);
