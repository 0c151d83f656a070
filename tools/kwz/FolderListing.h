// The packer's view of a folder: what stands directly in it, and the bytes of
// its files. Names are spelled as the file system gives them: raw bytes on
// Linux (taken for UTF-8), UTF-8 converted from UTF-16 on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FolderItem {
    enum Kind { kFile, kFolder, kOther };
    std::string name;
    Kind kind;
    uint64_t size;  // files only
};

// The items directly in folder (links followed), in no particular order.
// Raises "FileError" when folder cannot be read or an item cannot be examined.
std::vector<FolderItem> ListFolder(const std::string& folder);

// Appends the contents of item name of folder to out. Raises "FileError" when
// the file cannot be read or no longer has expectedSize bytes.
void AppendFolderFile(const std::string& folder, const std::string& name, uint64_t expectedSize, std::string& out);

// Converts a UTF-8 name to the Windows code page codePage (1252, 1251, 932,
// ...). Returns false when the code page is unknown here or cannot spell the
// name exactly.
bool EncodeName(const std::string& utf8, unsigned codePage, std::string& out);
