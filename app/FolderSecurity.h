// The extraction folder closed to the user's unelevated processes while an
// elevated launcher uses it: a high mandatory integrity label that forbids
// writing up, inherited by everything created in the folder. A process of
// lower integrity can then neither add, change, rename nor delete anything in
// it, whatever the folder's access list grants. The ADVAPI32 functions are
// looked up at run time in the system folder's copy.
#pragma once

#include <windows.h>

#include <string>

// What the launcher calls in ADVAPI32; each null where the system lacks it.
struct SecurityCalls {
    BOOL(WINAPI* openProcessToken)(HANDLE process, DWORD access, PHANDLE token);
    BOOL(WINAPI* getTokenInformation)(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID data, DWORD size,
                                      PDWORD needed);
    BOOL(WINAPI* convertStringSecurityDescriptor)(LPCSTR text, DWORD revision, PSECURITY_DESCRIPTOR* descriptor,
                                                  PULONG size);
    BOOL(WINAPI* setKernelObjectSecurity)(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor);
};

// The table in use: ADVAPI32's functions, looked up on first use. Tests put
// their own in.
SecurityCalls& ActiveSecurityCalls();

// True when the process's token says it runs elevated; false where the
// system knows no elevation (it lacks the query) or the token cannot be read.
bool RunsElevated();

// The rights that CloseToLowerIntegrity needs on the folder's handle.
constexpr DWORD kLabelAccess = READ_CONTROL | WRITE_OWNER;

// Labels the open folder high integrity, no write up, for the folder and
// everything created in it. Raises "FileError" "Unable to create directory
// LEVEL" with the platform's text when the label cannot be set.
void CloseToLowerIntegrity(HANDLE folder, const std::string& level);
