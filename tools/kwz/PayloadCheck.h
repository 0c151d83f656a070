// What kwz verify checks beyond the launcher's loader: that an archive image
// is laid out as kwz pack lays it out, and that its entries are exactly the
// files of a folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct CPayloadFinding {
    enum Kind { kStructure, kMissing, kExtra, kDifferent };
    Kind kind;
    std::string name;    // the entry or file concerned (stored bytes); empty for the image
    std::string detail;  // what is wrong, for people
};

// name with ASCII letters in lower case: names equal after it are one file on
// Windows.
std::string FoldNameCase(std::string name);

// The word for kind: "structure", "missing", "extra" or "different".
const char* FindingKindName(CPayloadFinding::Kind kind);

// The layout faults of image[0, size), which the launcher's loader has
// accepted: a directory-end field that is not the end of the records, data
// areas with gaps, overlaps or out of directory order, bytes after the last
// data area, and names that are one file on Windows (letter case aside).
std::vector<CPayloadFinding> CheckImageLayout(const uint8_t* image, size_t size);

// Every difference between the image's entries and the files directly in
// folder, names compared as kwz pack would store the folder's names (in
// codePage, 0 for as they are): entries without a file (missing), files or
// folders without an entry (extra), and files whose bytes differ. Raises
// "FileError" when folder or a file in it cannot be read.
std::vector<CPayloadFinding> CompareWithFolder(const uint8_t* image, size_t size, const std::string& folder,
                                               unsigned codePage);
