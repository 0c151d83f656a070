#include "app/LibrarySearch.h"

#include "app/SystemLibrary.h"

namespace {

constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

}  // namespace

LibrarySearchCalls SystemLibrarySearchCalls()
{
    // KERNEL32 is loaded in every process; nothing is searched for here.
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    LibrarySearchCalls calls = {};
    calls.setDefaultDllDirectories =
        SystemFunction<decltype(calls.setDefaultDllDirectories)>(kernel, "SetDefaultDllDirectories");
    calls.setDllDirectory = SystemFunction<decltype(calls.setDllDirectory)>(kernel, "SetDllDirectoryA");
    return calls;
}

void RestrictLibrarySearch(const LibrarySearchCalls& calls)
{
    if (calls.setDefaultDllDirectories != nullptr && calls.setDefaultDllDirectories(kSearchSystem32))
        return;
    if (calls.setDllDirectory != nullptr)
        calls.setDllDirectory("");
}
