// Folder-path normalisation: pure string work, shared by every build.
#pragma once

#include <string>

// Separator of the platform the program runs on: '\\' on Windows, '/' natively.
#if defined(_WIN32)
constexpr char kNativeSeparator = '\\';
#else
constexpr char kNativeSeparator = '/';
#endif

// Trims trailing blanks (only 0x20) and appends a backslash unless the path
// already ends in one. An empty path, or one of blanks only, stays empty.
std::string MakeFolderPath(const char* path);

// MakeFolderPath with the native separator; on Windows exactly MakeFolderPath.
std::string NativeFolderPath(const char* path);
