#include "app/FolderSecurity.h"

#include "app/SystemLibrary.h"
#include "base/FolderLevelWin32.h"

namespace {

// Mandatory label (ML), inherited by files and folders (OICI), no write up
// (NW), high integrity (HI).
constexpr const char* kHighLabel = "S:(ML;OICI;NW;;;HI)";
constexpr DWORD kSddlRevision = 1;                   // SDDL_REVISION_1
constexpr SECURITY_INFORMATION kLabelPart = 0x10;   // LABEL_SECURITY_INFORMATION

SecurityCalls SystemSecurityCalls()
{
    const HMODULE advapi = LoadSystemLibrary("advapi32.dll");
    SecurityCalls calls = {};
    calls.openProcessToken = SystemFunction<decltype(calls.openProcessToken)>(advapi, "OpenProcessToken");
    calls.getTokenInformation = SystemFunction<decltype(calls.getTokenInformation)>(advapi, "GetTokenInformation");
    calls.convertStringSecurityDescriptor = SystemFunction<decltype(calls.convertStringSecurityDescriptor)>(
        advapi, "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    calls.setKernelObjectSecurity =
        SystemFunction<decltype(calls.setKernelObjectSecurity)>(advapi, "SetKernelObjectSecurity");
    return calls;
}

}  // namespace

SecurityCalls& ActiveSecurityCalls()
{
    static SecurityCalls calls = SystemSecurityCalls();
    return calls;
}

bool RunsElevated()
{
    const SecurityCalls& calls = ActiveSecurityCalls();
    if (calls.openProcessToken == nullptr || calls.getTokenInformation == nullptr)
        return false;
    HANDLE token = nullptr;
    if (!calls.openProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    // Systems before elevation existed refuse the query.
    const BOOL known = calls.getTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return known && elevation.TokenIsElevated != 0;
}

void CloseToLowerIntegrity(HANDLE folder, const std::string& level)
{
    const SecurityCalls& calls = ActiveSecurityCalls();
    if (calls.convertStringSecurityDescriptor == nullptr || calls.setKernelObjectSecurity == nullptr)
        RaiseFolderFailure(level, ERROR_PROC_NOT_FOUND);
    PSECURITY_DESCRIPTOR label = nullptr;
    if (!calls.convertStringSecurityDescriptor(kHighLabel, kSddlRevision, &label, nullptr))
        RaiseFolderFailure(level, GetLastError());
    const BOOL set = calls.setKernelObjectSecurity(folder, kLabelPart, label);
    const DWORD error = GetLastError();
    LocalFree(label);
    if (!set)
        RaiseFolderFailure(level, error);
}
