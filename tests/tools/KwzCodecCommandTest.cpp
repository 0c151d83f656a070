#include "tools/kwz/Command.h"

#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

int Kwz(std::vector<std::string> args)
{
    args.insert(args.begin(), "kwz");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    return KwzMain(static_cast<int>(argv.size()), argv.data());
}

TEST(KwzCodecCommandTest, CompressThenDecompressGivesTheInputBack)
{
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>((i * 7) % 251 ^ (i >> 5));
    CTempFolder dir;
    WriteFileBytes(dir / "in.bin", data);
    ASSERT_EQ(0, Kwz({"compress", dir / "in.bin", dir / "codec.lzss"}));
    ASSERT_EQ(0, Kwz({"decompress", dir / "codec.lzss", dir / "out.bin"}));
    EXPECT_EQ(data, ReadFileBytes(dir / "out.bin"));
    EXPECT_LT(ReadFileBytes(dir / "codec.lzss").size(), data.size());
}

TEST(KwzCodecCommandTest, TruncatedStreamFailsAndLeavesNoOutput)
{
    CTempFolder dir;
    WriteFileBytes(dir / "cut.lzss", std::string("\xB0\x80", 2));
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, Kwz({"decompress", dir / "cut.lzss", dir / "out.bin"}));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("Unexpected end of file reached.")) << err;
    EXPECT_EQ(std::vector<std::string>{"cut.lzss"}, FolderNames(dir.Path()));
}

TEST(KwzCodecCommandTest, WrongUsageExitsWithTwo)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(2, Kwz({"compress", "only-one"}));
    EXPECT_EQ(2, Kwz({"no-such-command"}));
    EXPECT_EQ(2, Kwz({}));
    testing::internal::GetCapturedStderr();
}

TEST(KwzCodecCommandTest, HelpExplainsEveryCommand)
{
    for (const char* command : {"compress", "decompress", "pack", "list", "unpack", "stamp"}) {
        testing::internal::CaptureStdout();
        EXPECT_EQ(0, Kwz({"help", command}));
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(std::string::npos, out.find(std::string("Usage: kwz ") + command)) << out;
    }
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, Kwz({"--help"}));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStdout().find("decompress"));
}

}  // namespace
