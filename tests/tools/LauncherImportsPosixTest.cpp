// The launchers of both Windows trees need nothing but the kernel, the
// window manager, GDI and the C runtime: their import tables, read here with
// our own PE reader, so that a launcher is checked even on a host that cannot
// run its architecture.
#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/PeImage.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

constexpr int kDirImport = 1;
constexpr size_t kImportDescriptorSize = 20;
constexpr size_t kImportName = 12;

// Upper-case names of the DLLs in image's import directory.
std::set<std::string> ImportedDlls(const CPeImage& image)
{
    std::set<std::string> names;
    const CPeDirectory dir = image.Directory(kDirImport);
    const std::string& b = image.Bytes();
    for (uint32_t at = dir.address;; at += kImportDescriptorSize) {
        size_t descriptor = 0;
        if (!image.MapRva(at, kImportDescriptorSize, descriptor))
            ADD_FAILURE() << "import descriptor at " << at << " lies outside the file";
        const uint32_t nameRva = descriptor != 0 ? Pe::Get32(b, descriptor + kImportName) : 0;
        if (nameRva == 0)
            break;
        size_t name = 0;
        if (!image.MapRva(nameRva, 1, name))
            break;
        std::string dll = b.substr(name, b.find('\0', name) - name);
        std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
        names.insert(dll);
    }
    return names;
}

struct CLauncher {
    std::string path;
    bool pe32Plus;
};

std::vector<CLauncher> Launchers()
{
    std::vector<CLauncher> launchers;
    for (const auto& tree : {std::make_pair("win32", false), std::make_pair("win64", true)})
        for (const char* name : {"KwoWardenSetup.exe", "KwoWardenSetup-stub.exe"})
            launchers.push_back({std::string(KWO_BUILD_FOLDER) + "/" + tree.first + "/" + name, tree.second});
    return launchers;
}

void PrintTo(const CLauncher& launcher, std::ostream* os) { *os << launcher.path; }

class LauncherImportsTest : public testing::TestWithParam<CLauncher> {};

TEST_P(LauncherImportsTest, OnlySystemDllsAndTheCRuntime)
{
    ASSERT_TRUE(FileExists(GetParam().path)) << GetParam().path << " is missing: build both Windows trees first";
    const CPeImage image(ReadFileBytes(GetParam().path), GetParam().path);
    EXPECT_EQ(GetParam().pe32Plus, image.IsPe32Plus());
    const std::set<std::string> dlls = ImportedDlls(image);
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "MSVCRT.DLL"};
    for (const char* needed : {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL"})
        EXPECT_EQ(dlls.count(needed), 1u) << needed << " missing: the table was not read";
    for (const std::string& dll : dlls)
        EXPECT_EQ(allowed.count(dll), 1u) << GetParam().path << " imports " << dll;
}

INSTANTIATE_TEST_SUITE_P(BothTrees, LauncherImportsTest, testing::ValuesIn(Launchers()),
                         [](const testing::TestParamInfo<CLauncher>& param) {
                             std::string name = std::to_string(param.index) +
                                                (param.param.pe32Plus ? "_x64_" : "_x86_") +
                                                param.param.path.substr(param.param.path.rfind('/') + 1);
                             std::replace_if(name.begin(), name.end(), [](char c) { return !isalnum(c); }, '_');
                             return name;
                         });

}  // namespace
