// The packer's view of a folder: what stands directly in it, and the bytes of
// its files. Names are spelled as the file system gives them: raw bytes on
// Linux (taken for UTF-8), UTF-8 converted from UTF-16 on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FolderItem {
    enum Kind { kFile, kFolder, kLink, kOther };
    std::string name;
    Kind kind;
    uint64_t size;        // files only
    std::string leadsTo;  // links only: what the link names, and what stands there
};

// The items directly in folder, in no particular order; symbolic links (and
// junctions on Windows) are listed as links, not followed. Raises
// "FileError" when folder cannot be read or an item cannot be examined.
std::vector<FolderItem> ListFolder(const std::string& folder);

class CProgressBar;

// Appends the contents of the regular file name of folder to out, telling
// bar (if any) the size of out as it grows. Raises "FileError" when it
// cannot be read, is no longer a regular file (a link put in its place is
// not followed) or no longer has expectedSize bytes.
void AppendFolderFile(const std::string& folder, const std::string& name, uint64_t expectedSize, std::string& out,
                      CProgressBar* bar = nullptr);

// True when the regular file name of folder is the existing file at path
// (the same file, whichever way either is spelled or linked).
bool IsSameFile(const std::string& folder, const std::string& name, const std::string& path);

// Converts a UTF-8 name to the Windows code page codePage (1252, 1251, 932,
// ...). Returns false when the code page is unknown here or cannot spell the
// name exactly.
bool EncodeName(const std::string& utf8, unsigned codePage, std::string& out);

// The other way: a name stored in codePage, spelled for this platform's file
// calls (UTF-8 natively, the ANSI code page on Windows). False when the code
// page is unknown here or the name cannot be spelled.
bool DecodeName(const std::string& stored, unsigned codePage, std::string& utf8);
