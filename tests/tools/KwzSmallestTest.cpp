// --smallest of kwz compress, pack and stamp: the same decoder reads what it
// writes, it is never larger than the default and strictly smaller where
// there is a choice, and the same input still gives the same bytes.
#include "tools/kwz/pe/SetupProgram.h"

#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"
#include "tests/tools/pe/PeFixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using PeTest::Fixture;

namespace {

// Words of a small vocabulary: many short matches, where the parses differ.
std::string Prose(size_t size)
{
    static const char* const words[] = {"setup ", "the ", "files ", "installer ", "of ", "a ", "window ", "and "};
    std::string text;
    for (uint32_t state = 1; text.size() < size;) {
        state = state * 1103515245u + 12345u;
        text += words[(state >> 16) % 8];
    }
    return text.substr(0, size);
}

TEST(KwzSmallestTest, CompressDecompressesBackAndIsSmaller)
{
    CTempFolder dir;
    const std::string data = Prose(60000) + SeededBytes(20000, 9);
    WriteFileBytes(dir / "in.bin", data);
    ASSERT_EQ(0, RunKwz({"compress", dir / "in.bin", dir / "exact.lzss"}).code);
    const KwzResult smallest = RunKwz({"compress", "--smallest", dir / "in.bin", dir / "smallest.lzss"});
    ASSERT_EQ(0, smallest.code) << smallest.err;
    ASSERT_EQ(0, RunKwz({"decompress", dir / "smallest.lzss", dir / "out.bin"}).code);
    EXPECT_TRUE(data == ReadFileBytes(dir / "out.bin"));
    EXPECT_LT(ReadFileBytes(dir / "smallest.lzss").size(), ReadFileBytes(dir / "exact.lzss").size());
    // decompress has no parse to choose.
    EXPECT_EQ(2, RunKwz({"decompress", "--smallest", dir / "smallest.lzss", dir / "again.bin"}).code);
}

TEST(KwzSmallestTest, PackAndStampGiveTheSameSmallerPayloadEveryTime)
{
    CTempFolder product;
    FillPayloadFolder(product.Path());
    WriteFileBytes(product / "readme.txt", Prose(40000));
    CTempFolder dir;
    ASSERT_EQ(0, RunKwz({"pack", "-q", product.Path(), dir / "exact.kwz"}).code);
    ASSERT_EQ(0, RunKwz({"pack", "-q", "--smallest", product.Path(), dir / "smallest.kwz"}).code);
    ASSERT_EQ(0, RunKwz({"pack", "--smallest", "-q", product.Path(), dir / "again.kwz"}).code);
    const std::string smallest = ReadFileBytes(dir / "smallest.kwz");
    EXPECT_TRUE(smallest == ReadFileBytes(dir / "again.kwz"));
    EXPECT_LT(smallest.size(), ReadFileBytes(dir / "exact.kwz").size());

    // stamp packs a folder as pack does, and the program unpacks to the folder.
    ASSERT_EQ(0, RunKwz({"stamp", "-q", "--smallest", Fixture("probe-payload.exe"), product.Path(),
                         dir / "setup.exe"})
                     .code);
    EXPECT_TRUE(smallest == ReadSetupPayload(ReadFileBytes(dir / "setup.exe"), "setup.exe"));
    ASSERT_EQ(0, RunKwz({"unpack", "-q", dir / "setup.exe", dir / "files"}).code);
    const std::vector<std::string> names = FolderNames(product.Path());
    EXPECT_EQ(names, FolderNames(dir / "files"));
    for (const std::string& name : names)
        EXPECT_TRUE(ReadFileBytes(product / name) == ReadFileBytes(dir / ("files/" + name))) << name;
}

TEST(KwzSmallestTest, StampRefusesItForAPayloadThatIsAlreadyPacked)
{
    CTempFolder dir;
    WriteFileBytes(dir / "payload.kwz", "some payload");
    const KwzResult run =
        RunKwz({"stamp", "--smallest", Fixture("probe-payload.exe"), dir / "payload.kwz", dir / "setup.exe"});
    EXPECT_EQ(2, run.code);
    EXPECT_TRUE(Contains(run.err, "--smallest applies to a folder")) << run.err;
    EXPECT_EQ(std::vector<std::string>{"payload.kwz"}, FolderNames(dir.Path()));
}

}  // namespace
