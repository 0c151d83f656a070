#include "base/FolderPath.h"

namespace {

std::string FolderPathWith(const char* path, char separator)
{
    std::string folder(path);
    while (!folder.empty() && folder.back() == ' ')
        folder.pop_back();
    if (!folder.empty() && folder.back() != separator)
        folder += separator;
    return folder;
}

}  // namespace

std::string MakeFolderPath(const char* path)
{
    return FolderPathWith(path, '\\');
}

std::string NativeFolderPath(const char* path)
{
    return FolderPathWith(path, kNativeSeparator);
}
