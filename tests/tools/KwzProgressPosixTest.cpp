// The progress bar appears on a terminal and nowhere else: standard error is
// put on a pseudo-terminal for the run.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <stdlib.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Runs kwz with standard error on a fresh pseudo-terminal; returns what the
// terminal received.
std::string RunOnTerminal(const std::vector<std::string>& args, int& code)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(0, grantpt(master));
    EXPECT_EQ(0, unlockpt(master));
    const int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    EXPECT_GE(slave, 0);
    fcntl(master, F_SETFL, O_NONBLOCK);

    const int savedError = dup(2);
    dup2(slave, 2);
    code = CallKwz(args);
    dup2(savedError, 2);
    close(savedError);
    close(slave);

    std::string seen;
    char buffer[4096];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        seen.append(buffer, static_cast<size_t>(n));
    close(master);
    return seen;
}

TEST(KwzProgressTest, PackShowsTheBarOnATerminalUnlessQuiet)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    WriteFileBytes(work / "in/KwoWardenInstaller.exe", std::string(20000, 'k'));
    int code = -1;
    const std::string shown = RunOnTerminal({"pack", work / "in", work / "p.kwz"}, code);
    EXPECT_EQ(0, code);
    EXPECT_NE(std::string::npos, shown.find("packing  [")) << shown;
    EXPECT_NE(std::string::npos, shown.find("100%  19.6 KiB / 19.6 KiB")) << shown;

    const std::string quiet = RunOnTerminal({"pack", "-q", work / "in", work / "q.kwz"}, code);
    EXPECT_EQ(0, code);
    EXPECT_EQ("", quiet);
    EXPECT_EQ(ReadFileBytes(work / "p.kwz"), ReadFileBytes(work / "q.kwz"));
}

}  // namespace
