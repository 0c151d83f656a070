// A stamped stub against the launcher linked with the same payload, both run
// as processes under Wine: the installer must see the same command line,
// folder and files, and the end must be the same. (The stub alone, without
// payload, is one of the launcher tests' error cases.)
#include "tests/app/LauncherDriver.h"
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>

namespace {

// One run of launcher, from a clean start to its end.
LauncherResult RunLauncher(const std::string& launcher, const std::string& reportPath)
{
    EXPECT_TRUE(RemoveTree(ExtractionFolderPath(), 10000)) << "left from an earlier run";
    return RunToEnd(launcher, reportPath);
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

    const LauncherResult linked = RunLauncher(WindowsPath(KWO_DEMO_LAUNCHER), folder / "linked.txt");
    const bool linkedLeft = PathPresent(ExtractionFolderPath());
    const LauncherResult fromStub = RunLauncher(folder / "KwoWardenSetup.exe", folder / "stamped.txt");
    ASSERT_TRUE(linked.ended && fromStub.ended);
    EXPECT_TRUE(fromStub.boxes.empty());
    EXPECT_EQ(linked.boxes.size(), fromStub.boxes.size());
    // The report names the command line, the current folder and every file
    // with its size and CRC-32.
    const std::vector<std::string> report = ReadReport(folder / "stamped.txt");
    ASSERT_FALSE(report.empty()) << "the installer never reported";
    EXPECT_EQ(ReadReport(folder / "linked.txt"), report);
    EXPECT_FALSE(linkedLeft);
    EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
    std::printf("[ figures  ] installer started after %lu ms (linked) and %lu ms (stamped); peak private "
                "bytes %lu KiB and %lu KiB\n",
                static_cast<unsigned long>(linked.msToInstallerStart),
                static_cast<unsigned long>(fromStub.msToInstallerStart),
                static_cast<unsigned long>(linked.peakPrivateBytes / 1024),
                static_cast<unsigned long>(fromStub.peakPrivateBytes / 1024));
}

// The demo folder packed with --smallest: a smaller payload that the same
// launcher extracts to the same files.
TEST(StampedLauncherTest, ExtractsTheSmallestPayloadToTheSameFiles)
{
    CTempFolder folder;
    const std::string smallest = ReadSetupPayload(ReadFileBytes(WindowsPath(KWO_SMALLEST_LAUNCHER)), "smallest");
    EXPECT_LT(smallest.size(), ReadFileBytes(WindowsPath(KWO_DEMO_PAYLOAD_FILE)).size());

    const LauncherResult linked = RunLauncher(WindowsPath(KWO_DEMO_LAUNCHER), folder / "linked.txt");
    const LauncherResult fromSmallest = RunLauncher(WindowsPath(KWO_SMALLEST_LAUNCHER), folder / "smallest.txt");
    ASSERT_TRUE(linked.ended && fromSmallest.ended);
    EXPECT_TRUE(fromSmallest.boxes.empty());
    const std::vector<std::string> report = ReadReport(folder / "smallest.txt");
    ASSERT_FALSE(report.empty()) << "the installer never reported";
    EXPECT_EQ(ReadReport(folder / "linked.txt"), report);
    EXPECT_FALSE(PathPresent(ExtractionFolderPath()));
}

}  // namespace
