// Where the platform looks for the DLLs it loads on the launcher's behalf.
#pragma once

#include <windows.h>

// The two KERNEL32 functions that restrict the search; each null where the
// system lacks it.
struct LibrarySearchCalls {
    BOOL(WINAPI* setDefaultDllDirectories)(DWORD directories);  // Windows 8, updated Windows 7
    BOOL(WINAPI* setDllDirectory)(LPCSTR folder);               // Windows XP SP1
};

// The system's own functions.
LibrarySearchCalls SystemLibrarySearchCalls();

// DLLs come from the system folder only (SetDefaultDllDirectories), never
// from the folder the launcher was downloaded into. Where that call is
// missing or refuses, SetDllDirectoryA("") at least takes the current folder
// out of the search.
void RestrictLibrarySearch(const LibrarySearchCalls& calls);
