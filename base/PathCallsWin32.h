// The file-system calls the path and folder helpers make, gathered in one
// table so that tests can watch which paths are queried, created and deleted,
// and in which order, on real folders, and can put a link, a file or a
// failure where the platform would not make one on demand. The program itself
// never changes the table.
#pragma once

#include <windows.h>

struct PathCalls {
    DWORD(WINAPI* getFileAttributes)(LPCSTR path);
    BOOL(WINAPI* createDirectory)(LPCSTR path, LPSECURITY_ATTRIBUTES security);
    HANDLE(WINAPI* findFirstFile)(LPCSTR pattern, LPWIN32_FIND_DATAA found);
    BOOL(WINAPI* findNextFile)(HANDLE search, LPWIN32_FIND_DATAA found);
    BOOL(WINAPI* findClose)(HANDLE search);
    BOOL(WINAPI* deleteFile)(LPCSTR path);
    BOOL(WINAPI* removeDirectory)(LPCSTR path);
    HANDLE(WINAPI* createFile)(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                               DWORD disposition, DWORD flags, HANDLE templateFile);
    // RemoveLinkItself (below) in the program.
    BOOL (*removeLink)(LPCSTR path);
};

// The table in use; it starts out with the system's own functions.
PathCalls& ActivePathCalls();

// Removes the reparse point at path (a junction, a symbolic link, a mount
// point) and never anything it points to. It opens path without following
// it and deletes only when the object opened is a reparse point itself;
// otherwise it fails with ERROR_ALREADY_EXISTS. That is the case where the
// platform follows links whatever it is asked (Wine does: there every link
// stays), or where something else took the link's place meanwhile.
BOOL RemoveLinkItself(LPCSTR path);
