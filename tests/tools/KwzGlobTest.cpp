#include "tools/kwz/Glob.h"

#include <gtest/gtest.h>

namespace {

struct GlobCase {
    const char* pattern;
    const char* name;
    bool matches;
};

class KwzGlobTest : public ::testing::TestWithParam<GlobCase> {};

TEST_P(KwzGlobTest, MatchesWholeNamesAsAShellWould)
{
    EXPECT_EQ(GetParam().matches, GlobMatch(GetParam().pattern, GetParam().name))
        << GetParam().pattern << " on " << GetParam().name;
}

const GlobCase kGlobs[] = {
    {"Thumbs.db", "Thumbs.db", true},
    {"Thumbs.db", "Thumbs.dbx", false},
    {"Thumbs.db", "xThumbs.db", false},
    {"*.pdb", "setup.pdb", true},
    {"*.pdb", ".pdb", true},
    {"*.pdb", "setup.pdb.old", false},
    {"*", ".DS_Store", true},  // a star takes leading dots too
    {".DS_*", ".DS_Store", true},
    {"a*b*c", "a-b-b-c", true},
    {"a*b*c", "a-b-b-c-", false},
    {"*a*a*a", "aaaa", true},
    {"?", "", false},
    {"??.txt", "ab.txt", true},
    {"??.txt", "a.txt", false},
    {"[abc]-*", "b-folder", true},
    {"[abc]-*", "d-folder", false},
    {"[!abc]-*", "d-folder", true},
    {"[^abc]-*", "a-folder", false},
    {"[a-c]x", "bx", true},
    {"[a-c]x", "dx", false},
    {"[]]", "]", true},
    {"[a-]", "-", true},
    {"[abc", "[abc", true},  // no closing bracket: an ordinary character
    {"a\\*b", "a*b", true},
    {"a\\*b", "axb", false},
    {"", "", true},
    {"", "a", false},
};

INSTANTIATE_TEST_SUITE_P(Table, KwzGlobTest, ::testing::ValuesIn(kGlobs));

TEST(KwzGlobCaseTest, LetterCaseCountsExceptOnWindows)
{
#if defined(_WIN32)
    EXPECT_TRUE(GlobMatch("*.PDB", "setup.pdb"));
    EXPECT_TRUE(GlobMatch("[A-C]x", "bx"));
#else
    EXPECT_FALSE(GlobMatch("*.PDB", "setup.pdb"));
    EXPECT_FALSE(GlobMatch("[A-C]x", "bx"));
#endif
}

}  // namespace
