#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(KwzCodecCommandTest, CompressThenDecompressGivesTheInputBack)
{
    const std::string data = SeededBytes(20000, 4);
    CTempFolder dir;
    WriteFileBytes(dir / "in.bin", data);
    ASSERT_EQ(0, RunKwz({"compress", dir / "in.bin", dir / "codec.lzss"}).code);
    ASSERT_EQ(0, RunKwz({"decompress", dir / "codec.lzss", dir / "out.bin"}).code);
    EXPECT_EQ(data, ReadFileBytes(dir / "out.bin"));
    EXPECT_LT(ReadFileBytes(dir / "codec.lzss").size(), data.size());
}

TEST(KwzCodecCommandTest, TruncatedStreamFailsNamingTheFileAndLeavesNoOutput)
{
    CTempFolder dir;
    WriteFileBytes(dir / "cut.lzss", std::string("\xB0\x80", 2));
    const KwzResult run = RunKwz({"decompress", dir / "cut.lzss", dir / "out.bin"});
    EXPECT_EQ(1, run.code);
    EXPECT_TRUE(Contains(run.err, dir / "cut.lzss" + ": the stream is cut short: Unexpected end of file reached."))
        << run.err;
    EXPECT_EQ(std::vector<std::string>{"cut.lzss"}, FolderNames(dir.Path()));
}

TEST(KwzCodecCommandTest, HelpExplainsEveryCommand)
{
    for (const char* command : {"compress", "decompress", "pack", "list", "unpack", "stamp", "help"}) {
        const KwzResult help = RunKwz({"help", command});
        EXPECT_EQ(0, help.code) << command << ": " << help.err;
        EXPECT_TRUE(Contains(help.out, std::string("Usage: kwz ") + command)) << help.out;
    }
    const KwzResult help = RunKwz({"--help"});
    EXPECT_EQ(0, help.code);
    EXPECT_TRUE(Contains(help.out, "decompress")) << help.out;
    EXPECT_TRUE(Contains(help.out, "\n  -V, --version ")) << help.out;
    for (const char* version : {"-V", "--version"}) {
        const KwzResult run = RunKwz({version});
        EXPECT_EQ(0, run.code) << version;
        EXPECT_EQ(0u, run.out.find("kwz ")) << version << ": " << run.out;
    }
}

TEST(KwzUsageTest, WrongUsageOfAnyCommandExitsWithTwoAndWritesNothing)
{
    CTempFolder dir;
    const std::string p = dir / "p.kwz";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"no-such-command"}, {"compress", "only-one"}, {"pack", dir.Path()}, {"pack", "--fast", dir.Path(), p},
             {"pack", "--codepage", "latin1", dir.Path(), p}, {"list"}, {"unpack", p},
             {"stamp", "-", "-", dir / "out.exe"}, {"stamp", "--frobnicate", "a", "b", "c"},
             {"stamp", "--codepage", "1252", "stub.exe", "payload.kwz", dir / "x.exe"},
             {"pack", "--exclude"}, {"unpack", "--codepage", "0", p, dir / "out"}, {"help", "pack", "list"},
             {"help", "nothing"}}) {
        const KwzResult run = RunKwz(args);
        EXPECT_EQ(2, run.code) << (args.empty() ? "no arguments" : args[0]) << ": " << run.err;
    }
    EXPECT_TRUE(FolderNames(dir.Path()).empty());
}

}  // namespace
