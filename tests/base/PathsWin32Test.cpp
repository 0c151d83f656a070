// The path helpers on real folders below a test folder, with every file-system
// call they make recorded (and passed on to the system) so that the order of
// queries and creations can be checked, and with links put in where needed.
#include "base/Paths.h"

#include "base/KwoException.h"
#include "base/SystemError.h"
#include "tests/base/FakePathCalls.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using PathsTest = FakePathCallsTest;
std::vector<std::string>& calls = Fake().calls;

TEST_F(PathsTest, FolderExistsOnlyForFolders)
{
    WriteFileBytes(root + "\\file", "x");
    EXPECT_TRUE(FolderExists(root));
    EXPECT_TRUE(FolderExists(root + "\\"));
    EXPECT_FALSE(FolderExists(root + "\\file"));
    EXPECT_FALSE(FolderExists(root + "\\missing"));
    EXPECT_FALSE(FolderExists(""));
}

TEST_F(PathsTest, CreateFolderTreeWalksUpThenCreatesShallowestFirst)
{
    CreateFolderTree(root + "\\a\\b\\");
    const std::vector<std::string> expected = {
        "attr " + root + "\\a\\b\\", "attr " + root + "\\a\\b", "attr " + root + "\\a",
        "attr " + root,              "mkdir " + root + "\\a",   "mkdir " + root + "\\a\\b",
    };
    EXPECT_EQ(expected, calls);
    EXPECT_TRUE(FolderExists(root + "\\a\\b"));
    // Once it exists, one query is all.
    calls.clear();
    CreateFolderTree(root + "\\a\\b\\");
    EXPECT_EQ(std::vector<std::string>{"attr " + root + "\\a\\b\\"}, calls);
}

TEST_F(PathsTest, CreateFolderTreeNeverCreatesTheLastComponent)
{
    CreateFolderTree(root + "\\a\\name");
    EXPECT_TRUE(FolderExists(root + "\\a"));
    EXPECT_EQ(std::vector<std::string>{"a"}, FolderNames(folder.Path()));
    EXPECT_TRUE(FolderNames(folder / "a").empty());
}

TEST_F(PathsTest, CreateFolderTreeWithoutBackslashOrOnADriveCreatesNothing)
{
    CreateFolderTree("kwo-no-backslash");
    CreateFolderTree(root.substr(0, 3));  // the drive alone, "C:\"
    CreateFolderTree(root.substr(0, 2));  // "C:"
    for (const std::string& call : calls)
        EXPECT_EQ(0u, call.rfind("attr ", 0)) << call;
    EXPECT_FALSE(FolderExists("kwo-no-backslash"));
}

TEST_F(PathsTest, FileInTheWayRaisesFileErrorNamingTheLevel)
{
    WriteFileBytes(root + "\\a", "x");
    std::unique_ptr<CKwoException> e = Raised([&] { CreateFolderTree(root + "\\a\\b\\"); });
    ASSERT_TRUE(e);
    EXPECT_EQ("FileError", e->Category());
    // The nested text describes the failed creation, not the query after it.
    EXPECT_EQ("Unable to create directory " + root + "\\a\n\tNested error [Win32] " +
                  SystemErrorText(ERROR_ALREADY_EXISTS),
              e->MessageText());
    EXPECT_EQ(std::vector<std::string>{"a"}, FolderNames(folder.Path()));
}

// What appears at a level between the walk-up and its creation.
enum class Appears { kFolder, kFile, kLink };

struct RaceCase {
    const char* what;
    Appears appears;
    bool succeeds;
};

class PathsRaceTest : public PathsTest, public ::testing::WithParamInterface<RaceCase> {};

TEST_P(PathsRaceTest, LevelCreatedMeanwhileByAnotherProcess)
{
    const std::string level = root + "\\a\\b";
    bool appeared = false;
    Fake().before = [&](const std::string& call) {
        if (call != "mkdir " + level || appeared)
            return;
        appeared = true;
        if (GetParam().appears == Appears::kFolder)
            CreateDirectoryA(level.c_str(), nullptr);
        else if (GetParam().appears == Appears::kFile)
            WriteFileBytes(level, "x");
        else
            Fake().links[level] = kFakeLinkAttributes;
    };
    if (GetParam().succeeds) {
        CreateFolderTree(root + "\\a\\b\\c\\");
        EXPECT_TRUE(FolderExists(root + "\\a\\b\\c"));
        EXPECT_TRUE(Fake().links.empty()) << "the link stayed";
    } else {
        std::unique_ptr<CKwoException> e = Raised([&] { CreateFolderTree(root + "\\a\\b\\c\\"); });
        ASSERT_TRUE(e);
        EXPECT_EQ("FileError", e->Category());
        EXPECT_EQ(0u, e->MessageText().find("Unable to create directory " + level + "\n")) << e->MessageText();
        // The level made before the failure stays; nothing below it is tried.
        EXPECT_TRUE(FolderExists(root + "\\a"));
        EXPECT_EQ(2u, CallsOf("mkdir ").size());
    }
    if (GetParam().appears == Appears::kLink) {
        // The link is removed, never entered, and the level made in its place.
        const std::vector<std::string> expected = {"mkdir " + level, "unlink " + level, "mkdir " + level};
        std::vector<std::string> atLevel;
        for (const std::string& call : calls)
            if (call.size() > level.size() && call.compare(call.size() - level.size(), level.size(), level) == 0 &&
                call.rfind("attr ", 0) != 0)
                atLevel.push_back(call);
        EXPECT_EQ(expected, atLevel);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PathsRaceTest,
                         ::testing::Values(RaceCase{"folder", Appears::kFolder, true},
                                           RaceCase{"file", Appears::kFile, false},
                                           RaceCase{"link", Appears::kLink, true}),
                         [](const ::testing::TestParamInfo<RaceCase>& param) { return param.param.what; });

// The system's own conversion of path (GetShortPathNameA or GetLongPathNameA).
std::string Converted(DWORD(WINAPI* convert)(LPCSTR, LPSTR, DWORD), const std::string& path)
{
    char buffer[MAX_PATH];
    const DWORD n = convert(path.c_str(), buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

TEST_F(PathsTest, ShortToLongPathGivesTheSpellingOnDisk)
{
    const std::string deep = root + "\\Long Folder Name\\Another.Long.Name";
    CreateFolderTree(deep + "\\");
    const std::string shortForm = Converted(GetShortPathNameA, deep);
    ASSERT_FALSE(shortForm.empty());
    ASSERT_NE(deep, shortForm);
    calls.clear();
    EXPECT_EQ(Converted(GetLongPathNameA, deep), ShortToLongPath((shortForm + "\\").c_str()));
    // One lookup per component below the drive, deepest first.
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ("find " + shortForm, calls.front());
    EXPECT_EQ("find " + shortForm.substr(0, shortForm.find('\\', 3)), calls.back());
    size_t components = 0;
    for (char c : shortForm)
        components += c == '\\' ? 1 : 0;
    EXPECT_EQ(components, calls.size());
}

TEST_F(PathsTest, ShortToLongPathOfDrivesAndEmptyTextNeedsNoLookup)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"C:\\", "C:"}, {"C:", "C:"}, {"C:dir/sub/name", "C:dir/sub/name"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.second, ShortToLongPath(c.first)) << c.first;
    EXPECT_TRUE(calls.empty());
}

TEST_F(PathsTest, ShortToLongPathOfAMissingComponentRaises)
{
    std::unique_ptr<CKwoException> e = Raised([&] { ShortToLongPath((root + "\\missing\\").c_str()); });
    ASSERT_TRUE(e);
    EXPECT_EQ("Error", e->Category());
    EXPECT_EQ(0u, e->MessageText().find("Unable to convert short path name to long\n\tNested error [Win32] "))
        << e->MessageText();
    EXPECT_EQ(std::vector<std::string>{"find " + root + "\\missing"}, calls);
}

}  // namespace
