// The launchers need nothing but the kernel, the window manager, GDI and the
// C runtime: their import tables.
#include "tests/app/LauncherDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

// Names of the DLLs in the import directory of a program of this tree's
// architecture, upper case, read from the image that the system maps for it
// (sections at their addresses, nothing run and nothing resolved).
std::set<std::string> ImportedDlls(const std::string& path)
{
    std::set<std::string> names;
    const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr)
        return names;
    // The low bits of the handle mark a resource mapping.
    const BYTE* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
    const auto* nt =
        reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports); imports != 0 && d->Name != 0; ++d) {
        std::string name = reinterpret_cast<const char*>(base + d->Name);
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        names.insert(name);
    }
    FreeLibrary(module);
    return names;
}

class LauncherImportsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LauncherImportsTest, OnlySystemDllsAndTheCRuntime)
{
    const std::set<std::string> dlls = ImportedDlls(WindowsPath(GetParam()));
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "MSVCRT.DLL"};
    for (const char* needed : {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL"})
        EXPECT_EQ(dlls.count(needed), 1u) << needed << " missing: the table was not read";
    for (const std::string& dll : dlls)
        EXPECT_EQ(allowed.count(dll), 1u) << "imports " << dll;
}

INSTANTIATE_TEST_SUITE_P(Launchers, LauncherImportsTest, ::testing::Values(KWO_DEMO_LAUNCHER, KWO_STUB_LAUNCHER));

}  // namespace
