// A stamped stub against the launcher linked with the same payload, both run
// as processes under Wine: the installer must see the same command line,
// folder and files, and the end must be the same.
#include "tests/app/LauncherDriver.h"
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

// What one run showed from outside.
struct Observed {
    bool ended = false;
    DWORD exitCode = 0;
    size_t boxes = 0;
    std::vector<std::string> report;
    bool folderLeft = true;
    DWORD msToInstallerStart = 0;
    SIZE_T peakPrivateBytes = 0;
};

Observed RunLauncher(const std::string& launcher, const std::string& reportPath)
{
    EXPECT_TRUE(RemoveTree(ExtractionFolderPath(), 10000)) << "left from an earlier run";
    Observed seen;
    {
        CLauncherRun run(launcher, reportPath, {{"KWO_DEMO_SECONDS", "0"}});
        EXPECT_TRUE(run.Started()) << launcher;
        const LauncherResult& result = run.WaitForEnd();
        seen.ended = result.ended;
        seen.exitCode = result.exitCode;
        seen.boxes = result.boxes.size();
        seen.msToInstallerStart = result.msToInstallerStart;
        seen.peakPrivateBytes = result.peakPrivateBytes;
    }
    seen.report = ReadReport(reportPath);
    seen.folderLeft = GetFileAttributesA(ExtractionFolderPath().c_str()) != INVALID_FILE_ATTRIBUTES;
    return seen;
}

TEST(StampedLauncherTest, RunsExactlyLikeTheLinkedLauncher)
{
    CTempFolder folder;
    // Stamped here by the Windows build of kwz, and at build time by the
    // native one: the same bytes.
    const std::string stub = ReadFileBytes(WindowsPath(KWO_STUB_LAUNCHER));
    const std::string payload = ReadFileBytes(WindowsPath(KWO_DEMO_PAYLOAD_FILE));
    ASSERT_FALSE(payload.empty());
    const std::string stamped = StampSetupProgram(stub, "stub", payload, nullptr);
    EXPECT_TRUE(stamped == ReadFileBytes(WindowsPath(KWO_STAMPED_LAUNCHER)));
    WriteFileBytes(folder / "KwoWardenSetup.exe", stamped);

    const Observed linked = RunLauncher(WindowsPath(KWO_DEMO_LAUNCHER), folder / "linked.txt");
    const Observed fromStub = RunLauncher(folder / "KwoWardenSetup.exe", folder / "stamped.txt");
    ASSERT_TRUE(linked.ended);
    ASSERT_TRUE(fromStub.ended);
    EXPECT_EQ(0u, fromStub.exitCode);
    EXPECT_EQ(linked.exitCode, fromStub.exitCode);
    EXPECT_EQ(0u, fromStub.boxes);
    EXPECT_EQ(linked.boxes, fromStub.boxes);
    ASSERT_FALSE(fromStub.report.empty()) << "the installer never reported";
    // The report names the command line, the current folder and every file
    // with its size and CRC-32.
    EXPECT_EQ(linked.report, fromStub.report);
    EXPECT_FALSE(linked.folderLeft);
    EXPECT_FALSE(fromStub.folderLeft);
    std::printf("[ figures  ] installer started after %lu ms (linked) and %lu ms (stamped); peak private "
                "bytes %lu KiB and %lu KiB\n",
                static_cast<unsigned long>(linked.msToInstallerStart),
                static_cast<unsigned long>(fromStub.msToInstallerStart),
                static_cast<unsigned long>(linked.peakPrivateBytes / 1024),
                static_cast<unsigned long>(fromStub.peakPrivateBytes / 1024));
}

TEST(StampedLauncherTest, StubWithoutPayloadReportsTheMissingArchive)
{
    // The stub itself is a launcher without payload: it must fail as such,
    // which shows that the stamped payload is what the launcher found above.
    CTempFolder folder;
    const Observed bare = RunLauncher(WindowsPath(KWO_STUB_LAUNCHER), folder / "report.txt");
    ASSERT_TRUE(bare.ended);
    EXPECT_EQ(0u, bare.exitCode);
    EXPECT_EQ(1u, bare.boxes);
    EXPECT_TRUE(bare.report.empty()) << "the installer ran";
    EXPECT_FALSE(bare.folderLeft);
}

}  // namespace
