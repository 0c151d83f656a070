// The file-system calls the path helpers make, gathered in one table so that
// tests can watch which paths are queried and created, and in which order, on
// real folders. The program itself never changes the table.
#pragma once

#include <windows.h>

struct PathCalls {
    DWORD(WINAPI* getFileAttributes)(LPCSTR path);
    BOOL(WINAPI* createDirectory)(LPCSTR path, LPSECURITY_ATTRIBUTES security);
    HANDLE(WINAPI* findFirstFile)(LPCSTR pattern, LPWIN32_FIND_DATAA found);
    BOOL(WINAPI* findClose)(HANDLE search);
};

// The table in use; it starts out with the system's own functions.
PathCalls& ActivePathCalls();
