// An interruption noticed by the main thread (on Windows the console handler
// asks for it; natively the signal handler does its own removal, see
// KwzInterruptPosixTest): the temporary goes, the old output stays, and kwz
// ends with the interrupted status.
#include "tools/kwz/FileIo.h"
#include "tools/kwz/Interrupt.h"

#include "tests/support/Raised.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Clears the request however the test ends.
struct CRequested {
    CRequested() { Interrupt::Request(); }
    ~CRequested() { Interrupt::Clear(); }
};

TEST(KwzInterruptRequestTest, OutputInProgressIsRemovedAndTheOldOneKept)
{
    CTempFolder work;
    WriteFileBytes(work / "out", "old");
    std::unique_ptr<CKwoException> e;
    {
        COutputFile output(work / "out");
        output.Write(std::string(100, 'x'));
        EXPECT_EQ(2u, FolderNames(work.Path()).size());  // out and the temporary
        CRequested requested;
        e = RaisedIfAny([&] {
            output.Write(std::string(2 << 20, 'y'));
            output.Commit();
        });
    }
    ASSERT_TRUE(e);
    EXPECT_EQ(Interrupt::kCategory, e->Category());
    EXPECT_EQ(std::vector<std::string>{"out"}, FolderNames(work.Path()));
    EXPECT_EQ("old", ReadFileBytes(work / "out"));
}

TEST(KwzInterruptRequestTest, CommandEndsWithTheInterruptedStatusAndWritesNothing)
{
    CTempFolder work;
    WriteFileBytes(work / "KwoWardenInstaller.exe", SeededBytes(3000, 1));
    CRequested requested;
    const KwzResult run = RunKwz({"pack", work.Path(), work / "p.kwz"});
    EXPECT_EQ(Interrupt::kExitInterrupted, run.code);
    EXPECT_TRUE(Contains(run.err, "kwz: interrupted")) << run.err;
    EXPECT_EQ(std::vector<std::string>{"KwoWardenInstaller.exe"}, FolderNames(work.Path()));
}

}  // namespace
