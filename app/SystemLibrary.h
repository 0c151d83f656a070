// Functions of system DLLs found at run time, so that the launcher imports
// nothing but KERNEL32, USER32, GDI32 and the C runtime, and runs on systems
// that lack a newer function.
#pragma once

#include <windows.h>

// Loads name (such as "advapi32.dll") from the system folder, never from the
// folders of the usual search; null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// The function name of module as a pointer of type Function; null when
// module is null or lacks it.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name)
{
    if (module == nullptr)
        return nullptr;
    // Through a plain function pointer: FARPROC does not convert directly.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}
