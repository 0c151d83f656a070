// Which of the two KERNEL32 calls restricts the DLL search, on systems that
// have both, one or neither.
#include "app/LibrarySearch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> made;
BOOL defaultAnswer = TRUE;

BOOL WINAPI RecordSetDefault(DWORD directories)
{
    made.push_back("SetDefaultDllDirectories " + std::to_string(directories));
    return defaultAnswer;
}

BOOL WINAPI RecordSetDllDirectory(LPCSTR folder)
{
    made.push_back("SetDllDirectoryA \"" + std::string(folder != nullptr ? folder : "<null>") + "\"");
    return TRUE;
}

struct SearchCase {
    const char* name;
    bool hasDefault;
    BOOL defaultAnswer;
    bool hasDllDirectory;
    std::vector<std::string> calls;
};

void PrintTo(const SearchCase& row, std::ostream* os) { *os << row.name; }

class LibrarySearchTest : public ::testing::TestWithParam<SearchCase> {};

TEST_P(LibrarySearchTest, SystemFolderOnlyElseNotTheCurrentFolder)
{
    made.clear();
    defaultAnswer = GetParam().defaultAnswer;
    LibrarySearchCalls calls = {};
    if (GetParam().hasDefault)
        calls.setDefaultDllDirectories = RecordSetDefault;
    if (GetParam().hasDllDirectory)
        calls.setDllDirectory = RecordSetDllDirectory;
    RestrictLibrarySearch(calls);
    EXPECT_EQ(GetParam().calls, made);
}

// 2048 is LOAD_LIBRARY_SEARCH_SYSTEM32.
INSTANTIATE_TEST_SUITE_P(
    Systems, LibrarySearchTest,
    ::testing::Values(
        SearchCase{"Windows8", true, TRUE, true, {"SetDefaultDllDirectories 2048"}},
        SearchCase{"DefaultRefused", true, FALSE, true,
                   {"SetDefaultDllDirectories 2048", "SetDllDirectoryA \"\""}},
        SearchCase{"WindowsXpToSeven", false, TRUE, true, {"SetDllDirectoryA \"\""}},
        SearchCase{"Neither", false, TRUE, false, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(LibrarySearchSystemTest, KernelHasTheFallback)
{
    // SetDllDirectoryA exists since Windows XP SP1, and in Wine.
    EXPECT_NE(SystemLibrarySearchCalls().setDllDirectory, nullptr);
}

}  // namespace
