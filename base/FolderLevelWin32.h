// One level of a folder path, as the path helpers and COwnFolder create it.
// Every call goes through ActivePathCalls().
#pragma once

#include <windows.h>

#include <string>

// The attributes of a reparse point (junction, symbolic link, mount point).
bool IsLink(DWORD attributes);
// The attributes of a folder that is no reparse point.
bool IsRealFolder(DWORD attributes);

// Creates the folder level. When something of that name appears meanwhile,
// a real folder counts as created and a link is removed (never entered) and
// the folder made in its place. Raises as RaiseFolderFailure otherwise.
void CreateFolderLevel(const std::string& level);

// Raises "FileError" "Unable to create directory LEVEL" with the platform's
// text of error.
[[noreturn]] void RaiseFolderFailure(const std::string& level, DWORD error);
