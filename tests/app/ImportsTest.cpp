// The launchers need nothing but the kernel, the window manager, GDI and the
// C runtime: their import tables, read from the files.
#include "tests/app/LauncherDriver.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

template <typename T>
bool ReadAt(const std::string& image, size_t offset, T& value)
{
    if (offset > image.size() || image.size() - offset < sizeof(T))
        return false;
    std::memcpy(&value, image.data() + offset, sizeof(T));
    return true;
}

// Names of the DLLs in the import directory of a 32-bit PE image, upper case.
std::set<std::string> ImportedDlls(const std::string& image)
{
    std::set<std::string> names;
    IMAGE_DOS_HEADER dos;
    IMAGE_NT_HEADERS32 nt;
    if (!ReadAt(image, 0, dos) || dos.e_magic != IMAGE_DOS_SIGNATURE || !ReadAt(image, size_t(dos.e_lfanew), nt) ||
        nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
        return names;
    const size_t sections = size_t(dos.e_lfanew) + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                            nt.FileHeader.SizeOfOptionalHeader;
    auto fileOffset = [&](DWORD rva, size_t& offset) {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            IMAGE_SECTION_HEADER section;
            if (!ReadAt(image, sections + i * sizeof section, section))
                return false;
            const DWORD size = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size) {
                offset = section.PointerToRawData + (rva - section.VirtualAddress);
                return true;
            }
        }
        return false;
    };
    size_t descriptor = 0;
    if (!fileOffset(nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress, descriptor))
        return names;
    for (;; descriptor += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR entry;
        size_t nameOffset = 0;
        if (!ReadAt(image, descriptor, entry) || entry.Name == 0 || !fileOffset(entry.Name, nameOffset))
            break;
        std::string name(image.c_str() + nameOffset);
        std::transform(name.begin(), name.end(), name.begin(), ::toupper);
        names.insert(name);
    }
    return names;
}

class LauncherImportsTest : public ::testing::TestWithParam<const char*> {};

TEST_P(LauncherImportsTest, OnlySystemDllsAndTheCRuntime)
{
    const std::set<std::string> dlls = ImportedDlls(ReadFileBytes(WindowsPath(GetParam())));
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "MSVCRT.DLL"};
    for (const char* needed : {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL"})
        EXPECT_EQ(dlls.count(needed), 1u) << needed << " missing: the table was not read";
    for (const std::string& dll : dlls)
        EXPECT_EQ(allowed.count(dll), 1u) << "imports " << dll;
}

INSTANTIATE_TEST_SUITE_P(Launchers, LauncherImportsTest, ::testing::Values(KWO_DEMO_LAUNCHER, KWO_STUB_LAUNCHER));

}  // namespace
