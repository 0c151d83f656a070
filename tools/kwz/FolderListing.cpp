#include "tools/kwz/FolderListing.h"
#include "tools/kwz/FolderListingShared.h"

#include "base/KwoException.h"

void RaiseChangedFile(const std::string& path)
{
    ThrowError("FileError", (path + " changed while it was being packed").c_str(), 0, 0);
}
