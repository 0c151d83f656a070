// The folder a run makes its own, on real folders, with links and failures
// put in through the call table where the platform makes none on demand, and
// with real links where it does (see FolderLinks.h).
#include "base/OwnFolderWin32.h"

#include "base/KwoException.h"
#include "base/Paths.h"
#include "base/SystemError.h"
#include "tests/base/FakePathCalls.h"
#include "tests/support/FolderLinks.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

const std::string kNested = "\n\tNested error [Win32] ";

class OwnFolderTest : public FakePathCallsTest {
protected:
    void SetUp() override
    {
        FakePathCallsTest::SetUp();
        place = root + "\\own";
    }

    // The message of the failure to make place our folder, for error code.
    std::string FailureText(DWORD code) const
    {
        return "Unable to create directory " + place + kNested + SystemErrorText(code);
    }

    // The calls that act on place itself (creation, deletion, removal), in
    // their order.
    std::vector<std::string> StepsAtPlace() const
    {
        std::vector<std::string> steps;
        for (const std::string& call : Fake().calls)
            for (const char* kind : {"mkdir ", "del ", "rmdir ", "unlink "})
                if (call == kind + place)
                    steps.push_back(call);
        return steps;
    }

    std::string place;  // the folder to own, without its backslash
};

TEST_F(OwnFolderTest, HeldFolderCannotBeRenamedButItsFilesCanChange)
{
    COwnFolder own;
    own.Take(place + "\\");
    ASSERT_TRUE(own.Held());
    EXPECT_TRUE(FolderExists(place));
    EXPECT_FALSE(MoveFileExA(place.c_str(), (place + "-moved").c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
    EXPECT_FALSE(RemoveDirectoryA(place.c_str()));
    WriteFileBytes(place + "\\file.txt", "x");
    EXPECT_TRUE(DeleteFileA((place + "\\file.txt").c_str()));
    // A process may have it as its current folder.
    char current[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryA(MAX_PATH, current));
    EXPECT_TRUE(SetCurrentDirectoryA(place.c_str()));
    SetCurrentDirectoryA(current);

    own.Release();
    EXPECT_TRUE(MoveFileExA(place.c_str(), (place + "-moved").c_str(), 0));
}

// What stands where the folder belongs, and what Take makes of it.
enum class Standing { kNothing, kFolder, kFile, kLink };

struct TakeCase {
    const char* name;
    Standing standing;
    const char* failingCall;  // "del", "unlink", "open" or "mkdir" at place; or null
    std::vector<std::string> steps;  // expected StepsAtPlace, "%" for place
};

void PrintTo(const TakeCase& row, std::ostream* os) { *os << row.name; }

class OwnFolderTakeTest : public OwnFolderTest, public ::testing::WithParamInterface<TakeCase> {};

TEST_P(OwnFolderTakeTest, MakesARealFolderOrFailsWithNothingHeld)
{
    const TakeCase& param = GetParam();
    if (param.standing == Standing::kFolder) {
        ASSERT_TRUE(CreateDirectoryA(place.c_str(), nullptr));
        WriteFileBytes(place + "\\kept.txt", "kept");
    } else if (param.standing == Standing::kFile) {
        WriteFileBytes(place, "a file in the way");
    } else if (param.standing == Standing::kLink) {
        Fake().links[place] = kFakeLinkAttributes;
    }
    const DWORD code = ERROR_ACCESS_DENIED;
    if (param.failingCall != nullptr)
        Fake().failures[std::string(param.failingCall) + " " + place] = code;

    COwnFolder own;
    const std::unique_ptr<CKwoException> e = RaisedIfAny([&] { own.Take(place + "\\"); });
    std::vector<std::string> expected;
    for (const std::string& step : param.steps)
        expected.push_back(step.substr(0, step.find('%')) + place);
    EXPECT_EQ(expected, StepsAtPlace());
    if (param.failingCall != nullptr) {
        ASSERT_TRUE(e);
        EXPECT_EQ("FileError", e->Category());
        EXPECT_EQ(FailureText(code), e->MessageText());
        EXPECT_FALSE(own.Held());
        return;
    }
    ASSERT_FALSE(e) << e->MessageText();
    EXPECT_TRUE(own.Held());
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(place.c_str()) & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_TRUE(Fake().links.empty());
    // What was in a folder that was there already stays until asked.
    if (param.standing == Standing::kFolder) {
        EXPECT_EQ("kept", ReadFileBytes(place + "\\kept.txt"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OwnFolderTakeTest,
    ::testing::Values(TakeCase{"Nothing", Standing::kNothing, nullptr, {"mkdir %"}},
                      TakeCase{"RealFolderKept", Standing::kFolder, nullptr, {}},
                      TakeCase{"FileDeleted", Standing::kFile, nullptr, {"del %", "mkdir %"}},
                      TakeCase{"LinkRemovedNotEntered", Standing::kLink, nullptr, {"unlink %", "mkdir %"}},
                      TakeCase{"FileThatStays", Standing::kFile, "del", {"del %"}},
                      TakeCase{"LinkThatStays", Standing::kLink, "unlink", {"unlink %"}},
                      TakeCase{"CreationFails", Standing::kNothing, "mkdir", {"mkdir %"}},
                      TakeCase{"HoldFails", Standing::kNothing, "open", {"mkdir %"}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(OwnFolderTest, PlantedLinkIsNeverEntered)
{
    CTempFolder target;
    WriteFileBytes(target / "keep.txt", "theirs");
    const CFolderLink link(place, target.Path());
    ASSERT_TRUE(link.Planted());

    COwnFolder own;
    const std::unique_ptr<CKwoException> e = RaisedIfAny([&] { own.Take(place + "\\"); });
    if (PlatformOpensLinksThemselves()) {
        // The link goes and a real folder takes its place.
        ASSERT_FALSE(e) << e->MessageText();
        EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(place.c_str()) &
                                                (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
        own.RemoveLeftovers();
    } else {
        // Wine opens the target whatever it is asked, so the link cannot be
        // removed without touching what is behind it: it stays, and the
        // folder is refused.
        std::printf("[   note   ] links open as their targets here: the link stays, the folder is refused\n");
        ASSERT_TRUE(e);
        EXPECT_EQ(FailureText(ERROR_ALREADY_EXISTS), e->MessageText());
        EXPECT_FALSE(own.Held());
        EXPECT_NE(0u, GetFileAttributesA(place.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    own.Remove();
    EXPECT_EQ(std::vector<std::string>{"keep.txt"}, FolderNames(target.Path()));
    EXPECT_EQ("theirs", ReadFileBytes(target / "keep.txt"));
}

TEST_F(OwnFolderTest, LeftoversGoSubFoldersStay)
{
    ASSERT_TRUE(CreateDirectoryA(place.c_str(), nullptr));
    WriteFileBytes(place + "\\planted.dll", "dll");
    WriteFileBytes(place + "\\old.txt", "old");
    ASSERT_TRUE(CreateDirectoryA((place + "\\sub").c_str(), nullptr));
    WriteFileBytes(place + "\\sub\\inner.txt", "inner");
    // A link among the leftovers (a file stands in for it in the listing).
    WriteFileBytes(place + "\\linked", "");
    Fake().links[place + "\\linked"] = FILE_ATTRIBUTE_REPARSE_POINT;

    COwnFolder own;
    own.Take(place + "\\");
    own.RemoveLeftovers();
    EXPECT_EQ(std::vector<std::string>{"sub"}, FolderNames(place));
    EXPECT_EQ("inner", ReadFileBytes(place + "\\sub\\inner.txt"));
    EXPECT_EQ(1u, CallsOf("unlink ").size());
    EXPECT_EQ(0u, Fake().links.size());
    EXPECT_EQ(2u, CallsOf("del ").size());
}

TEST_F(OwnFolderTest, LeftoverHeldOpenFailsTheFolder)
{
    ASSERT_TRUE(CreateDirectoryA(place.c_str(), nullptr));
    const std::string held = place + "\\held.dll";
    WriteFileBytes(held, "in use");
    HANDLE holder = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    COwnFolder own;
    own.Take(place + "\\");
    const std::string message = RaisedMessage([&] { own.RemoveLeftovers(); });
    CloseHandle(holder);
    EXPECT_EQ(FailureText(ERROR_SHARING_VIOLATION), message);
    EXPECT_EQ("in use", ReadFileBytes(held));
}

TEST_F(OwnFolderTest, RemoveDeletesFilesThenTheFolderOrLeavesASubFolder)
{
    COwnFolder own;
    own.Take(place + "\\");
    WriteFileBytes(place + "\\a.txt", "a");
    WriteFileBytes(place + "\\b.txt", "b");
    own.Remove();
    EXPECT_FALSE(own.Held());
    EXPECT_FALSE(FileExists(place));

    own.Take(place + "\\");
    WriteFileBytes(place + "\\a.txt", "a");
    ASSERT_TRUE(CreateDirectoryA((place + "\\left").c_str(), nullptr));
    own.Remove();
    EXPECT_EQ(std::vector<std::string>{"left"}, FolderNames(place));

    // Nothing held, nothing done: not even a listing of the current folder.
    Fake().calls.clear();
    own.Remove();
    EXPECT_TRUE(Fake().calls.empty());
}

TEST_F(OwnFolderTest, RemoveAfterTheNameTurnedIntoALinkTouchesNothingBehindIt)
{
    COwnFolder own;
    own.Take(place + "\\");
    WriteFileBytes(place + "\\ours.txt", "ours");
    Fake().links[place] = kFakeLinkAttributes;
    Fake().calls.clear();

    own.Remove();
    EXPECT_FALSE(own.Held());
    EXPECT_EQ(std::vector<std::string>{"unlink " + place}, StepsAtPlace());
    EXPECT_TRUE(CallsOf("del ").empty());
    EXPECT_TRUE(CallsOf("find ").empty());
    EXPECT_EQ("ours", ReadFileBytes(place + "\\ours.txt"));
}

TEST_F(OwnFolderTest, RemoveAfterARealSwapTouchesNothingBehindTheLink)
{
    CTempFolder target;
    WriteFileBytes(target / "keep.txt", "theirs");
    const std::string aside = root + "\\aside";
    // Whatever happens below, the link goes before the folders are removed.
    struct CUnlinkAtEnd {
        std::string link;
        ~CUnlinkAtEnd() { RemoveFolderLink(link); }
    } unlinkAtEnd{place};
    COwnFolder own;
    own.Take(place + "\\");
    WriteFileBytes(place + "\\ours.txt", "ours");

    if (!SwapFolderForLink(place, aside, target.Path())) {
        // Windows: the hold refuses the rename, so nothing can be swapped.
        EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
        own.Remove();
        EXPECT_FALSE(FileExists(place));
        return;
    }
    // Wine: renamed on the Unix side, past the hold.
    std::printf("[   note   ] the folder was swapped past the hold (on the Unix side)\n");
    own.Remove();
    EXPECT_EQ(std::vector<std::string>{"keep.txt"}, FolderNames(target.Path()));
    EXPECT_EQ(std::vector<std::string>{"ours.txt"}, FolderNames(aside));
}

}  // namespace
