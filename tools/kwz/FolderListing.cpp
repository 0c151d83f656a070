#include "tools/kwz/FolderListing.h"
#include "tools/kwz/FolderListingShared.h"

#include "base/FormatString.h"
#include "base/KwoException.h"

void RaiseFileError(const char* format, const std::string& path)
{
    std::string message;
    KwoBase::FormatString(message, format, path.c_str());
    ThrowWin32Error("FileError", message.c_str(), 0, 0);
}

void AppendOpenFile(FILE* file, const std::string& path, uint64_t expectedSize, std::string& out)
{
    const size_t start = out.size();
    out.resize(start + static_cast<size_t>(expectedSize));
    const size_t got = std::fread(&out[start], 1, static_cast<size_t>(expectedSize), file);
    if (std::ferror(file))
        RaiseFileError("Unable to read %s", path);
    // One byte more, or fewer than listed: the file changed since the listing.
    if (got != expectedSize || std::fgetc(file) != EOF) {
        std::string message;
        KwoBase::FormatString(message, "%s changed while it was being packed", path.c_str());
        ThrowError("FileError", message.c_str(), 0, 0);
    }
}
