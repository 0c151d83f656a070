// The path helpers' file-system calls, recorded and passed on to the system,
// with links and failures that a test puts where the platform would not make
// them on demand (Wine can neither make nor remove a link through Win32).
#pragma once

#include "base/FolderPath.h"
#include "base/PathCallsWin32.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

struct FakePaths {
    // Every call, as "attr P", "mkdir P", "find P", "del P", "rmdir P",
    // "open P" or "unlink P" (removeLink); FindNextFile is not recorded.
    std::vector<std::string> calls;
    // Links that are not there: their attributes are reported, creating a
    // folder of the name fails as it would, a listing shows them with these
    // attributes, and removeLink removes them (and a real file of the name
    // that stands in for one in a listing). Nothing is behind them.
    std::map<std::string, DWORD> links;
    // Calls (as recorded) that fail with an error code instead of running.
    std::map<std::string, DWORD> failures;
    // Runs before each call, with the call as recorded: plays another process.
    std::function<void(const std::string& call)> before;
    std::string listed;  // the folder of the listing in progress, with its backslash
};

inline FakePaths& Fake()
{
    static FakePaths fake;
    return fake;
}

// The attributes a fake link shows: a junction or a symbolic link to a folder.
constexpr DWORD kFakeLinkAttributes = FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY;

namespace fake_calls {

// Records call; true (with the last error set) when it is to fail.
inline bool Failed(const std::string& call)
{
    FakePaths& fake = Fake();
    fake.calls.push_back(call);
    if (fake.before)
        fake.before(call);
    const auto failure = fake.failures.find(call);
    if (failure == fake.failures.end())
        return false;
    SetLastError(failure->second);
    return true;
}

inline bool IsFakeLink(const std::string& path)
{
    return Fake().links.count(path) != 0;
}

inline void ShowFakeLink(LPWIN32_FIND_DATAA found)
{
    const auto link = Fake().links.find(Fake().listed + found->cFileName);
    if (link != Fake().links.end())
        found->dwFileAttributes = link->second;
}

inline DWORD WINAPI Attributes(LPCSTR path)
{
    if (Failed(std::string("attr ") + path))
        return INVALID_FILE_ATTRIBUTES;
    return IsFakeLink(path) ? Fake().links[path] : GetFileAttributesA(path);
}

inline BOOL WINAPI CreateFolder(LPCSTR path, LPSECURITY_ATTRIBUTES security)
{
    if (Failed(std::string("mkdir ") + path))
        return FALSE;
    if (IsFakeLink(path)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
    }
    return CreateDirectoryA(path, security);
}

inline HANDLE WINAPI FindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA found)
{
    if (Failed(std::string("find ") + pattern))
        return INVALID_HANDLE_VALUE;
    const std::string text(pattern);
    Fake().listed = text.substr(0, text.find_last_of('\\') + 1);
    const HANDLE listing = FindFirstFileA(pattern, found);
    if (listing != INVALID_HANDLE_VALUE)
        ShowFakeLink(found);
    return listing;
}

inline BOOL WINAPI FindNext(HANDLE listing, LPWIN32_FIND_DATAA found)
{
    const BOOL more = FindNextFileA(listing, found);
    if (more)
        ShowFakeLink(found);
    return more;
}

inline BOOL WINAPI Delete(LPCSTR path)
{
    return Failed(std::string("del ") + path) ? FALSE : DeleteFileA(path);
}

inline BOOL WINAPI RemoveFolder(LPCSTR path)
{
    return Failed(std::string("rmdir ") + path) ? FALSE : RemoveDirectoryA(path);
}

inline HANDLE WINAPI Open(LPCSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
                          DWORD flags, HANDLE templateFile)
{
    if (Failed(std::string("open ") + path))
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, access, share, security, disposition, flags, templateFile);
}

inline BOOL RemoveLink(LPCSTR path)
{
    if (Failed(std::string("unlink ") + path))
        return FALSE;
    if (!IsFakeLink(path))
        return RemoveLinkItself(path);
    Fake().links.erase(path);
    const DWORD standIn = GetFileAttributesA(path);
    if (standIn != INVALID_FILE_ATTRIBUTES && (standIn & FILE_ATTRIBUTE_DIRECTORY) == 0)
        DeleteFileA(path);
    return TRUE;
}

}  // namespace fake_calls

// Installs the fake calls for one test, in a fresh folder, and puts the
// system's calls back after it.
class FakePathCallsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved = ActivePathCalls();
        ActivePathCalls() = PathCalls{fake_calls::Attributes, fake_calls::CreateFolder, fake_calls::FindFirst,
                                      fake_calls::FindNext,   FindClose,                fake_calls::Delete,
                                      fake_calls::RemoveFolder, fake_calls::Open,       fake_calls::RemoveLink};
        Fake() = FakePaths();
        root = MakeFolderPath(folder.Path().c_str());
        root.pop_back();
    }
    void TearDown() override
    {
        ActivePathCalls() = saved;
        Fake() = FakePaths();
    }

    // The recorded calls that begin with kind ("mkdir ", say).
    static std::vector<std::string> CallsOf(const std::string& kind)
    {
        std::vector<std::string> chosen;
        for (const std::string& call : Fake().calls)
            if (call.compare(0, kind.size(), kind) == 0)
                chosen.push_back(call);
        return chosen;
    }

    CTempFolder folder;
    std::string root;  // the test folder, no trailing backslash
    PathCalls saved;
};
