// What kwz writes to, and what it never replaces: devices, pipes and links
// at OUT, a full device, temporaries that someone else planted.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tools/kwz/FileIo.h"

#include "base/KwoException.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A payload file in work, and its bytes.
std::string MakePayload(const CTempFolder& work)
{
    const std::string payload = PayloadOf({{"KwoWardenInstaller.exe", SeededBytes(5000, 3)}});
    WriteFileBytes(work / "p.kwz", payload);
    return payload;
}

// Runs kwz with its standard output on path; returns the exit code.
int RunWithStandardOutput(const std::string& path, const std::vector<std::string>& args, std::string& err)
{
    std::fflush(stdout);
    const int saved = dup(1);
    const int target = open(path.c_str(), O_WRONLY);
    EXPECT_GE(target, 0) << path;
    dup2(target, 1);
    close(target);
    testing::internal::CaptureStderr();
    const int code = CallKwz(args);
    err = testing::internal::GetCapturedStderr();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    return code;
}

// Every command that writes to standard output says so when it cannot.
TEST(KwzOutputTest, FullStandardOutputIsAnErrorForEveryCommand)
{
    CTempFolder work;
    MakePayload(work);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list", work / "p.kwz"}, {"list", "--json", work / "p.kwz"}, {"help"}, {"help", "pack"},
             {"pack", "--help"}, {"--version"}, {"-V"}, {"decompress", work / "p.kwz", "-"}}) {
        std::string err;
        EXPECT_EQ(1, RunWithStandardOutput("/dev/full", args, err)) << args[0];
        EXPECT_TRUE(Contains(err, "kwz: cannot write standard output: No space left on device")) << args[0] << ": " << err;
    }
}

// What stdio still holds for standard output goes out before kwz's own
// writes, and its failure is an error even when kwz has nothing to add.
TEST(KwzOutputTest, StdioBytesThatCannotBeWrittenAreAnError)
{
    std::fflush(stdout);
    const int saved = dup(1);
    const int full = open("/dev/full", O_WRONLY);
    ASSERT_GE(full, 0);
    dup2(full, 1);
    close(full);
    std::fputs("x", stdout);  // no newline: it stays in stdio's buffer
    std::string message;
    try {
        WriteStandardOutput("");
    } catch (CKwoException* raw) {
        message = raw->MessageText();
        delete raw;
    }
    std::clearerr(stdout);
    dup2(saved, 1);
    close(saved);
    EXPECT_TRUE(Contains(message, "cannot write standard output: No space left on device")) << message;
}

// Nodes that are not regular files are written through and stay what they are.
TEST(KwzOutputTest, DevicesAndPipesAreWrittenThroughAndNeverReplaced)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "making device nodes needs root";
    CTempFolder work;
    const std::string payload = MakePayload(work);
    ASSERT_EQ(0, mknod((work / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)));
    ASSERT_EQ(0, mknod((work / "full").c_str(), S_IFCHR | 0666, makedev(1, 7)));
    ASSERT_EQ(0, symlink((work / "null").c_str(), (work / "to-null").c_str()));

    for (const char* out : {"null", "to-null"}) {
        const KwzResult run = RunKwz({"decompress", work / "p.kwz", work / out});
        EXPECT_EQ(0, run.code) << out << ": " << run.err;
    }
    const KwzResult full = RunKwz({"compress", work / "p.kwz", work / "full"});
    EXPECT_EQ(1, full.code);
    EXPECT_TRUE(Contains(full.err, "kwz: cannot write " + work / "full" + ": No space left on device")) << full.err;
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(work / "null")));
    EXPECT_TRUE(fs::is_character_file(fs::symlink_status(work / "full")));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(work / "to-null")));
    EXPECT_EQ((std::vector<std::string>{"full", "null", "p.kwz", "to-null"}), FolderNames(work.Path()));
}

TEST(KwzOutputTest, FifoIsWrittenThroughToItsReader)
{
    CTempFolder work;
    const std::string payload = MakePayload(work);
    ASSERT_EQ(0, mkfifo((work / "fifo").c_str(), 0600));
    std::string received;
    std::thread reader([&] { received = ReadFileBytes(work / "fifo"); });
    const int code = CallKwz({"compress", work / "p.kwz", work / "fifo"});
    reader.join();
    EXPECT_EQ(0, code);
    EXPECT_EQ(Compressed(payload), received);
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(work / "fifo")));
}

// A link to a regular file: the file is replaced whole, the link stays.
TEST(KwzOutputTest, LinkedFileIsReplacedAndTheLinkKept)
{
    CTempFolder work;
    const std::string payload = MakePayload(work);
    fs::create_directory(work / "real");
    WriteFileBytes(work / "real/out.bin", "old contents");
    ASSERT_EQ(0, chmod((work / "real/out.bin").c_str(), 0640));
    ASSERT_EQ(0, symlink("real/out.bin", (work / "link").c_str()));
    ASSERT_EQ(0, RunKwz({"decompress", work / "p.kwz", work / "link"}).code);
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(work / "link")));
    EXPECT_EQ(ArchiveImages::Canonical({{"KwoWardenInstaller.exe", SeededBytes(5000, 3)}}),
              ReadFileBytes(work / "real/out.bin"));
    // The replaced file keeps its permissions, as cp keeps them.
    struct stat info;
    ASSERT_EQ(0, stat((work / "real/out.bin").c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777);
    EXPECT_EQ(std::vector<std::string>{"out.bin"}, FolderNames(work / "real"));
}

struct RefusedOutputCase {
    const char* what;
    void (*make)(const std::string& out);
    const char* reason;
};

class KwzRefusedOutputTest : public ::testing::TestWithParam<RefusedOutputCase> {};

TEST_P(KwzRefusedOutputTest, IsNamedWithTheReasonAndLeftAlone)
{
    CTempFolder work;
    MakePayload(work);
    GetParam().make(work / "out");
    const std::vector<std::string> before = FolderNames(work.Path());
    const KwzResult run = RunKwz({"decompress", work / "p.kwz", work / "out"});
    EXPECT_EQ(1, run.code);
    EXPECT_TRUE(Contains(run.err, "kwz: cannot write " + work / "out" + ": " + GetParam().reason)) << run.err;
    EXPECT_EQ(before, FolderNames(work.Path()));
}

const RefusedOutputCase kRefusedOutputs[] = {
    {"Folder", [](const std::string& out) { fs::create_directory(out); }, "it is a folder"},
    {"LinkToAFolder", [](const std::string& out) { ASSERT_EQ(0, symlink("/", out.c_str())); },
     "it is a folder (through a symbolic link)"},
    {"DanglingLink", [](const std::string& out) { ASSERT_EQ(0, symlink("nowhere/at-all", out.c_str())); },
     "it is a symbolic link to nothing (No such file or directory)"},
};

INSTANTIATE_TEST_SUITE_P(Table, KwzRefusedOutputTest, ::testing::ValuesIn(kRefusedOutputs),
                         [](const ::testing::TestParamInfo<RefusedOutputCase>& param) { return param.param.what; });

// The temporary is created exclusively: one planted under its name (here a
// link to a file of someone else's) is neither followed nor removed.
TEST(KwzOutputTest, PlantedTemporaryIsLeftAloneAndAnotherNameTaken)
{
    CTempFolder work;
    MakePayload(work);
    WriteFileBytes(work / "victim", "precious");
    const std::string planted = work / ("out.kwz-" + std::to_string(getpid()) + ".tmp");
    ASSERT_EQ(0, symlink((work / "victim").c_str(), planted.c_str()));
    ASSERT_EQ(0, RunKwz({"decompress", work / "p.kwz", work / "out"}).code);
    EXPECT_EQ("precious", ReadFileBytes(work / "victim"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(planted)));
    EXPECT_EQ(4u, FolderNames(work.Path()).size());  // p.kwz, victim, the planted link, out
    EXPECT_TRUE(FileExists(work / "out"));
}

}  // namespace
