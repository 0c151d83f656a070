// The smallest parse against an oracle of its own: the longest match at every
// position found by trying every earlier byte, and the cheapest path over
// them found by relaxing every step (no shortcut of the parse's). Round trips
// over both parses are in LzssRoundTripTest.cpp.
#include "archive/LzssCodec.h"
#include "archive/LzssSmallestCodec.h"
#include "tests/archive/LzssTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

using namespace LzssTest;

namespace {

constexpr uint32_t kLiteralBits = 9;
constexpr uint32_t kMatchBits = 29;
constexpr uint32_t kEndBits = 22;

// The longest match at every byte of an input shorter than the window: byte
// i may copy from any byte before it (its ring position is never 0), running
// on into the bytes it produces, at most kLookAhead and no further than the
// input's end.
std::vector<uint32_t> LongestMatches(const std::string& plain)
{
    std::vector<uint32_t> longest(plain.size(), 0);
    for (size_t i = 0; i < plain.size(); ++i) {
        const size_t limit = std::min<size_t>(kLookAhead, plain.size() - i);
        for (size_t s = 0; s < i; ++s) {
            size_t k = 0;
            while (k < limit && plain[s + k] == plain[i + k])
                ++k;
            longest[i] = std::max(longest[i], static_cast<uint32_t>(k));
        }
    }
    return longest;
}

// Bits of the cheapest token sequence for plain, without the end token.
uint64_t CheapestBits(const std::string& plain)
{
    const std::vector<uint32_t> longest = LongestMatches(plain);
    std::vector<uint64_t> cost(plain.size() + 1, std::numeric_limits<uint64_t>::max());
    cost[0] = 0;
    for (size_t i = 0; i < plain.size(); ++i) {
        cost[i + 1] = std::min(cost[i + 1], cost[i] + kLiteralBits);
        for (size_t k = kMinMatch; k <= longest[i]; ++k)
            cost[i + k] = std::min(cost[i + k], cost[i] + kMatchBits);
    }
    return cost[plain.size()];
}

struct OracleCase {
    const char* what;
    InputKind kind;
    size_t size;
    uint64_t seed;
};

void PrintTo(const OracleCase& c, std::ostream* os) { *os << c.what; }

class LzssSmallestOracleTest : public ::testing::TestWithParam<OracleCase> {};

TEST_P(LzssSmallestOracleTest, SendsTheCheapestPathOverTheLongestMatches)
{
    const OracleCase& c = GetParam();
    const std::string plain = MakeInput(c.kind, c.size, c.seed);
    const std::string stream = Encode<CLzssSmallestCodec>(plain);
    const std::vector<Token> tokens = ReadTokens(stream);
    ASSERT_FALSE(tokens.empty());
    EXPECT_EQ(CheapestBits(plain) + kEndBits, tokens.back().endBit) << c.what << ", seed " << c.seed;
    EXPECT_EQ((tokens.back().endBit + 7) / 8, stream.size()) << c.what;
    EXPECT_TRUE(plain == Decode<CLzssCodec>(stream)) << c.what << ", seed " << c.seed;
}

INSTANTIATE_TEST_SUITE_P(Inputs, LzssSmallestOracleTest,
                         ::testing::Values(OracleCase{"text", InputKind::kText, 3000, 61},
                                           OracleCase{"binary records", InputKind::kBinary, 3000, 62},
                                           OracleCase{"long runs", InputKind::kRuns, 3000, 63},
                                           OracleCase{"short periods", InputKind::kPeriodic, 3000, 64},
                                           OracleCase{"random", InputKind::kRandom, 600, 65},
                                           OracleCase{"a few bytes", InputKind::kText, 7, 66}),
                         [](const ::testing::TestParamInfo<OracleCase>& p) { return "Input" + std::to_string(p.index); });

// "abcd" would be the longest match at the second "abcd", and the exact parse
// takes it; a literal "a" there instead opens the ten bytes "bcdefghijk".
TEST(LzssSmallestParseTest, TakesALiteralWhereItOpensALongerMatch)
{
    const std::string plain = "abcd-bcdefghijk-abcdefghijk";
    const std::vector<Token> exact = ReadTokens(Encode<CLzssCodec>(plain));
    const std::vector<Token> smallest = ReadTokens(Encode<CLzssSmallestCodec>(plain));
    ASSERT_EQ(19u, exact.size());  // 16 literals, 2 matches, the end
    ASSERT_EQ(19u, smallest.size());
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_TRUE(exact[i].literal && smallest[i].literal) << i;
        EXPECT_EQ(plain[i], static_cast<char>(smallest[i].byte)) << i;
    }
    // Positions count from 1: byte k of the output is at position k + 1.
    EXPECT_FALSE(exact[16].literal);
    EXPECT_EQ(1u, exact[16].position);
    EXPECT_EQ(4u, exact[16].length);
    EXPECT_EQ(9u, exact[17].position);
    EXPECT_EQ(7u, exact[17].length);
    EXPECT_TRUE(smallest[16].literal);
    EXPECT_EQ('a', smallest[16].byte);
    EXPECT_FALSE(smallest[17].literal);
    EXPECT_EQ(6u, smallest[17].position);
    EXPECT_EQ(10u, smallest[17].length);
    EXPECT_EQ(exact[18].endBit - 20, smallest[18].endBit);
    EXPECT_EQ(plain, Decode<CLzssCodec>(Encode<CLzssSmallestCodec>(plain)));
}

// One codec object for several inputs in turn (as the fuzz target uses it):
// nothing of an earlier run's parse shows in a later one. (The bytes that an
// earlier run left in the window beyond the end of a shorter input may
// decide between sources of the same length, so the streams are compared by
// their tokens' lengths.)
TEST(LzssSmallestParseTest, AReusedCodecParsesAsAFreshOne)
{
    const std::string first = MakeInput(InputKind::kText, 300000, 71);
    const std::string second = MakeInput(InputKind::kBinary, 5000, 72);
    CLzssSmallestCodec* reused = new CLzssSmallestCodec;
    std::unique_ptr<CCodec> owner(reused);
    for (const std::string* plain : {&first, &second}) {
        std::istringstream in(*plain);
        std::ostringstream out;
        reused->Encode(in, out, nullptr, nullptr, 1);
        const std::vector<Token> again = ReadTokens(out.str());
        const std::vector<Token> fresh = ReadTokens(Encode<CLzssSmallestCodec>(*plain));
        ASSERT_EQ(fresh.size(), again.size()) << plain->size() << " bytes";
        for (size_t i = 0; i < fresh.size(); ++i)
            ASSERT_TRUE(fresh[i].literal == again[i].literal && fresh[i].length == again[i].length &&
                        fresh[i].byte == again[i].byte)
                << plain->size() << " bytes, token " << i;
        EXPECT_TRUE(*plain == Decode<CLzssCodec>(out.str())) << plain->size() << " bytes";
    }
}

// The empty input and small vectors of the format that have only one
// cheapest way: the same bytes as the exact parse.
TEST(LzssSmallestParseTest, InputsWithOneCheapestWayGiveTheExactBytes)
{
    for (const std::string& plain :
         {std::string(), std::string("a"), std::string("aaaa"), std::string("aaaaa"), std::string("abcabcabcabc")})
        EXPECT_EQ(Hex(Encode<CLzssCodec>(plain)), Hex(Encode<CLzssSmallestCodec>(plain))) << plain.size() << " bytes";
}

}  // namespace
