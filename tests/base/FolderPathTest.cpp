#include "base/FolderPath.h"

#include <gtest/gtest.h>

namespace {

struct FolderCase {
    const char* in;
    const char* out;
};

class MakeFolderPathTest : public ::testing::TestWithParam<FolderCase> {};

TEST_P(MakeFolderPathTest, TrimsBlanksAndEndsInOneBackslash)
{
    EXPECT_EQ(GetParam().out, MakeFolderPath(GetParam().in));
}

INSTANTIATE_TEST_SUITE_P(Table, MakeFolderPathTest,
                         ::testing::Values(FolderCase{"", ""}, FolderCase{"X:\\Temp", "X:\\Temp\\"},
                                           FolderCase{"X:\\Temp\\", "X:\\Temp\\"},
                                           FolderCase{"X:\\Temp  ", "X:\\Temp\\"},
                                           FolderCase{"X:\\Temp\\ ", "X:\\Temp\\"},
                                           FolderCase{"X:\\Temp\t", "X:\\Temp\t\\"},
                                           FolderCase{"   ", ""}, FolderCase{"a/b", "a/b\\"}));

TEST(NativeFolderPathTest, UsesThePlatformSeparator)
{
    const std::string sep(1, kNativeSeparator);
    EXPECT_EQ("out" + sep, NativeFolderPath("out"));
    EXPECT_EQ("out" + sep, NativeFolderPath(("out" + sep + "  ").c_str()));
    EXPECT_EQ("", NativeFolderPath(""));
}

}  // namespace
