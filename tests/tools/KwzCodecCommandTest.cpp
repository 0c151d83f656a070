#include "tools/kwz/Command.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
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

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary) << data;
}

bool Exists(const std::string& path)
{
    return std::ifstream(path).good();
}

TEST(KwzCodecCommandTest, CompressThenDecompressGivesTheInputBack)
{
    std::string data;
    for (int i = 0; i < 20000; ++i)
        data += static_cast<char>((i * 7) % 251 ^ (i >> 5));
    WriteFile("codec-in.bin", data);
    ASSERT_EQ(0, Kwz({"compress", "codec-in.bin", "codec.lzss"}));
    ASSERT_EQ(0, Kwz({"decompress", "codec.lzss", "codec-out.bin"}));
    EXPECT_EQ(data, ReadFile("codec-out.bin"));
    EXPECT_LT(ReadFile("codec.lzss").size(), data.size());
}

TEST(KwzCodecCommandTest, TruncatedStreamFailsAndLeavesNoOutput)
{
    WriteFile("cut.lzss", std::string("\xB0\x80", 2));
    std::remove("cut-out.bin");
    testing::internal::CaptureStderr();
    EXPECT_EQ(1, Kwz({"decompress", "cut.lzss", "cut-out.bin"}));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, err.find("Unexpected end of file reached.")) << err;
    EXPECT_FALSE(Exists("cut-out.bin"));
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
