// kwz stamp with what only the native tree has: the launcher stubs of both
// Windows trees, and sparse files standing for payloads too large for the
// stub's launcher, which are refused before the work (the test would not
// end in time if kwz read them).
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

void MakeSparse(const std::string& path, off_t size)
{
    WriteFileBytes(path, "");
    ASSERT_EQ(0, truncate(path.c_str(), size));
}

std::string Stub(const char* architecture)
{
    for (const PeTest::CFixtureSet& set : PeTest::FixtureSets())
        if (set.label == architecture)
            return set / "probe-stripped.exe";
    ADD_FAILURE() << "no " << architecture << " fixtures";
    return std::string();
}

// The real stubs have the launcher's resources, and are judged by their
// architecture.
TEST(KwzStampPosixTest, BuiltStubsStampWithoutAWarning)
{
    CTempFolder work;
    WriteFileBytes(work / "p.kwz", PayloadOf({{"KwoWardenInstaller.exe", "MZ"}}));
    for (const auto& tree : {std::make_pair("win32", "(x86 launcher (not large-address-aware)): "),
                             std::make_pair("win64", "(x64 launcher): ")}) {
        const std::string stub = std::string(KWO_BUILD_FOLDER) + "/" + tree.first + "/KwoWardenSetup-stub.exe";
        ASSERT_TRUE(FileExists(stub)) << stub << " is missing: build both Windows trees first";
        const KwzResult run = RunKwz({"stamp", stub, work / "p.kwz", work / "setup.exe"});
        ASSERT_EQ(0, run.code) << run.err;
        EXPECT_EQ(0u, run.err.find("kwz: " + work / "setup.exe " + tree.second + "1 entry, ")) << run.err;
        EXPECT_FALSE(Contains(run.err, "warning")) << run.err;
    }
}

TEST(KwzStampPosixTest, FolderTooLargeForTheX86LauncherIsRefusedBeforeItIsRead)
{
    CTempFolder work;
    std::filesystem::create_directory(work / "in");
    WriteFileBytes(work / "in/KwoWardenInstaller.exe", "MZ");
    MakeSparse(work / "in/data.bin", 1700ll << 20);
    const KwzResult run = RunKwz({"stamp", "-q", Stub("x86"), work / "in", work / "setup.exe"});
    EXPECT_EQ(1, run.code);
    EXPECT_TRUE(Contains(run.err, "kwz: cannot stamp " + work / "in" + " into " + Stub("x86") +
                                      ": the x86 launcher (not large-address-aware) cannot extract it. At its peak "
                                      "it would hold at least "))
        << run.err;
    EXPECT_TRUE(Contains(run.err, "The x64 stub")) << run.err;
    EXPECT_EQ(std::vector<std::string>{"in"}, FolderNames(work.Path()));
}

TEST(KwzStampPosixTest, PayloadFilesTooLargeAreRefusedBeforeTheyAreRead)
{
    CTempFolder work;
    // 600 MiB decode to at least 533 MiB; with their copy and the program
    // that is more than the x86 launcher's 1.5 GiB.
    MakeSparse(work / "large.kwz", 600ll << 20);
    const KwzResult x86 = RunKwz({"stamp", "-q", Stub("x86"), work / "large.kwz", work / "setup.exe"});
    EXPECT_EQ(1, x86.code);
    EXPECT_TRUE(Contains(x86.err, "the x86 launcher (not large-address-aware) cannot extract it")) << x86.err;
    // No launcher maps a program of 2 GiB.
    MakeSparse(work / "huge.kwz", 2048ll << 20);
    const KwzResult x64 = RunKwz({"stamp", "-q", Stub("x64"), work / "huge.kwz", work / "setup.exe"});
    EXPECT_EQ(1, x64.code);
    EXPECT_TRUE(Contains(x64.err, "the setup program would map at least")) << x64.err;
    EXPECT_EQ((std::vector<std::string>{"huge.kwz", "large.kwz"}), FolderNames(work.Path()));
}

}  // namespace
