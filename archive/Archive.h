// Reader of archive images: a fixed header, a directory of length-prefixed
// names with size and offset, then the files' bytes. Loading works in place:
// every chunk points into the caller's image, which must stay valid and
// unchanged until the archive is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CArchiveChunk {
public:
    uint8_t* data = nullptr;  // owned, unless the archive was loaded in place
    uint32_t capacity = 0;
    uint32_t length = 0;
    uint32_t cursor = 0;
};

class CArchiveEntry {
public:
    CArchiveEntry() = default;
    ~CArchiveEntry();
    CArchiveEntry(const CArchiveEntry&) = delete;
    CArchiveEntry& operator=(const CArchiveEntry&) = delete;

    std::string name;
    uint32_t size = 0;
    std::vector<CArchiveChunk*> chunks;  // owned
    uint32_t reserved[2] = {0, 0};
};

class CArchive {
public:
    CArchive() = default;
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // Parses the image of the given length in place. Raises "ArchiveError"
    // "Archive is corrupted." (with the nested platform text) when the image
    // is not a well-formed archive; nothing is kept from a rejected image.
    void Load(const uint8_t* image, size_t length);

    uint32_t GetEntryCount() const;
    const CArchiveEntry& GetEntry(uint32_t index) const;

    // Writes entry index (below GetEntryCount) as a file into folder, an
    // existing folder. Raises "ArchiveError" when the file cannot be written.
    void ExtractEntry(uint32_t index, const char* folder);

private:
    std::vector<CArchiveEntry*> entries;  // owned, in directory order
    bool inPlace = false;
};
