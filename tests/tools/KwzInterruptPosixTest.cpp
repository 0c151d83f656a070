// kwz in a child process whose progress bar writes to a terminal that the
// test holds stopped (as Ctrl+S stops one): the child waits at its first
// redraw, and at each later one that it reaches, until the test lets it go
// on. So the test can act at a chosen point of the run (a signal, a file
// that appears or grows meanwhile) without relying on timing.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdlib.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr char kStop = 0x13;   // Ctrl+S
constexpr char kStart = 0x11;  // Ctrl+Q

class CGatedChild {
public:
    explicit CGatedChild(const std::vector<std::string>& args)
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        grantpt(master);
        unlockpt(master);
        const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        EXPECT_GE(slave, 0);
        termios modes;
        tcgetattr(slave, &modes);
        modes.c_iflag |= IXON;
        tcsetattr(slave, TCSANOW, &modes);
        fcntl(master, F_SETFL, O_NONBLOCK);
        Send(kStop);
        std::fflush(stdout);
        std::fflush(stderr);
        child = fork();
        if (child == 0) {
            dup2(slave, 2);
            close(slave);
            close(master);
            _exit(CallKwz(args));
        }
        close(slave);
    }
    ~CGatedChild()
    {
        if (child > 0 && !ended) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        close(master);
    }
    CGatedChild(const CGatedChild&) = delete;
    CGatedChild& operator=(const CGatedChild&) = delete;

    // Lets the child run, one redraw at a time, until ready holds; false
    // when it ended first. ready is asked whenever the child waits.
    bool RunUntil(const std::function<bool()>& ready)
    {
        for (;;) {
            if (Ended())
                return false;
            if (!WaitsAtARedraw()) {
                usleep(200);
                continue;
            }
            if (ready())
                return true;
            Send(kStart);
            while (WaitsAtARedraw() && !Ended())
                Drain();
            Send(kStop);
        }
    }

    // Lets the child run to its end; its wait status.
    int Finish()
    {
        Send(kStart);
        while (!Ended()) {
            Drain();
            usleep(200);
        }
        return status;
    }

    int Signal(int signal)
    {
        kill(child, signal);
        return Finish();
    }

private:
    // True while the child waits in a write to standard error: at a redraw.
    bool WaitsAtARedraw() const
    {
        const std::string call = ReadFileBytes("/proc/" + std::to_string(child) + "/syscall");
        return call.compare(0, 6, "1 0x2 ") == 0;  // write(2, ...) on x86-64
    }
    bool Ended()
    {
        if (!ended && waitpid(child, &status, WNOHANG) == child)
            ended = true;
        return ended;
    }
    void Send(char c) { EXPECT_EQ(1, write(master, &c, 1)); }
    void Drain()
    {
        char buffer[4096];
        while (read(master, buffer, sizeof buffer) > 0) {
        }
    }

    int master = -1;
    pid_t child = -1;
    int status = 0;
    bool ended = false;
};

// The items directly in folder whose names start with prefix.
std::vector<std::string> Starting(const std::string& folder, const std::string& prefix)
{
    std::vector<std::string> found;
    for (const std::string& name : FolderNames(folder))
        if (name.compare(0, prefix.size(), prefix) == 0)
            found.push_back(name);
    return found;
}

TEST(KwzInterruptTest, SigintDuringPackRemovesTheTemporaryAndKeepsTheOldOutput)
{
    CTempFolder work;
    fs::create_directory(work / "in");
    WriteFileBytes(work / "in/KwoWardenInstaller.exe", SeededBytes(300000, 1));
    WriteFileBytes(work / "p.kwz", "the old payload");
    CGatedChild child({"pack", work / "in", work / "p.kwz"});
    ASSERT_TRUE(child.RunUntil([&] { return !Starting(work.Path(), "p.kwz.kwz-").empty(); }));
    const int status = child.Signal(SIGINT);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ((std::vector<std::string>{"in", "p.kwz"}), FolderNames(work.Path()));
    EXPECT_EQ("the old payload", ReadFileBytes(work / "p.kwz"));
}

// The staging folder, the file in it and every folder unpack created go.
TEST(KwzInterruptTest, SigtermDuringUnpackRemovesTheStagingFolderAndTheFoldersItMade)
{
    CTempFolder work;
    WriteFileBytes(work / "p.kwz", PayloadOf({{"a.bin", SeededBytes(5000, 2)}, {"b.bin", "b"}}));
    CGatedChild child({"unpack", work / "p.kwz", work / "new/deeper/out"});
    const std::string out = work / "new/deeper/out";
    ASSERT_TRUE(child.RunUntil([&] {
        const std::vector<std::string> staging = Starting(out, ".kwz-unpack-");
        return staging.size() == 1 && !FolderNames(out + "/" + staging[0]).empty();
    }));
    const int status = child.Signal(SIGTERM);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(std::vector<std::string>{"p.kwz"}, FolderNames(work.Path()));
}

// A file that appears in DIR after unpack checked it is not replaced, and
// what unpack had moved into place already goes back: nothing is unpacked.
TEST(KwzInterruptTest, FileAppearingDuringUnpackIsNeverReplaced)
{
    CTempFolder work;
    WriteFileBytes(work / "p.kwz", PayloadOf({{"a.txt", SeededBytes(5000, 3)}, {"b.txt", "new b"}}));
    fs::create_directory(work / "out");
    CGatedChild child({"unpack", work / "p.kwz", work / "out"});
    ASSERT_TRUE(child.RunUntil([&] { return !Starting(work / "out", ".kwz-unpack-").empty(); }));
    WriteFileBytes(work / "out/b.txt", "theirs");
    const int status = child.Finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status));
    EXPECT_EQ(std::vector<std::string>{"b.txt"}, FolderNames(work / "out"));
    EXPECT_EQ("theirs", ReadFileBytes(work / "out/b.txt"));
}

// A file that grows after the listing is refused, not cut to its listed
// size: at the child's first redraw, after the first file's first piece,
// the test appends to the second file.
TEST(KwzInterruptTest, FileGrowingWhilePackedIsNamedAndNothingWritten)
{
    CTempFolder work;
    fs::create_directory(work / "in");
    WriteFileBytes(work / "in/KwoWardenInstaller.exe", SeededBytes(5000, 1));
    WriteFileBytes(work / "in/data.bin", "listed");
    CGatedChild child({"pack", work / "in", work / "p.kwz"});
    ASSERT_TRUE(child.RunUntil([] { return true; }));
    WriteFileBytes(work / "in/data.bin", "listed, then grown");
    const int status = child.Finish();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status));
    EXPECT_EQ(std::vector<std::string>{"in"}, FolderNames(work.Path()));
}

}  // namespace
