// kwz in a child process whose progress bar writes to a terminal that the
// test holds full: the child stops at every redraw until the test reads a
// little, so the test can act at a chosen point of the run (a signal, a file
// that appears meanwhile) without relying on timing. The terminal never has
// room for a whole line of the bar, so once the chosen point is reached the
// child cannot get past its next redraw.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <stdlib.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr size_t kReadStep = 32;  // far below a line of the bar (79 bytes)

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
        // Fill the terminal to the brim before the child starts.
        const int filler = open(ptsname(master), O_WRONLY | O_NOCTTY | O_NONBLOCK);
        const std::string block(256, '.');
        while (write(filler, block.data(), block.size()) > 0) {
        }
        while (write(filler, ".", 1) > 0) {
        }
        close(filler);
        capacity = Queued();
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

    // Lets the child run until ready holds; false when it ended first.
    bool RunUntil(const std::function<bool()>& ready)
    {
        for (;;) {
            if (ready())
                return true;
            if (waitpid(child, &status, WNOHANG) == child) {
                ended = true;
                return false;
            }
            if (Queued() >= capacity) {
                char buffer[kReadStep];
                EXPECT_GT(read(master, buffer, sizeof buffer), 0);
            } else {
                usleep(500);
            }
        }
    }

    // Lets the child run to its end; its wait status.
    int Finish()
    {
        while (!ended) {
            char buffer[4096];
            pollRead(buffer, sizeof buffer);
            if (waitpid(child, &status, WNOHANG) == child)
                ended = true;
        }
        return status;
    }

    int Signal(int signal)
    {
        kill(child, signal);
        return Finish();
    }

    pid_t Pid() const { return child; }

private:
    size_t Queued() const
    {
        int queued = 0;
        ioctl(master, FIONREAD, &queued);
        return static_cast<size_t>(queued);
    }
    void pollRead(char* buffer, size_t size)
    {
        const int flags = fcntl(master, F_GETFL);
        fcntl(master, F_SETFL, flags | O_NONBLOCK);
        if (read(master, buffer, size) <= 0)
            usleep(500);
        fcntl(master, F_SETFL, flags);
    }

    int master = -1;
    size_t capacity = 0;
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

}  // namespace
