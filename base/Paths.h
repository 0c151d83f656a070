// Path and folder helpers: the long form of the temporary folder and the
// creation of the extraction folder with every missing parent. Paths are byte
// strings in the ANSI code page with the backslash as separator.
//
// MakeFolderPath is pure string work and portable (base/FolderPath.h); the
// other three ask the Windows file system and exist only in the Windows build.
#pragma once

#include "base/FolderPath.h"

#include <string>

#if defined(_WIN32)

// Replaces every component of a drive path by its spelling on disk (short 8.3
// names become long ones), deepest component first, one FindFirstFileA per
// component. The drive designator is kept as given; the result never ends in
// a backslash ("C:\" gives "C:"). An empty path gives an empty result, and a
// text with a colon but no backslash is returned unchanged without a lookup.
// Raises "Error" "Unable to convert short path name to long" (with the
// platform's text) when a component cannot be found.
std::string ShortToLongPath(const char* path);

// True when path names an existing folder; false for a file, for a path that
// does not exist and for any failed query.
bool FolderExists(const std::string& path);

// Creates every missing level of path that is followed by a backslash,
// shallowest first; the text after the last backslash is taken for a file
// name and never created. A level that exists as a folder by the time it is
// created (another process was quicker) counts as created. Raises "FileError"
// "Unable to create directory LEVEL" (with the platform's text) for the first
// level that cannot be created, a file in the way included; levels created
// before the failure stay.
void CreateFolderTree(const std::string& path);

#endif
