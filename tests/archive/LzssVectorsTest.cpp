// Exact byte vectors of the LZSS format, in both directions, and the token
// structure of inputs too long to spell out.
#include "archive/LzssCodec.h"
#include "tests/archive/LzssTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

using namespace LzssTest;

namespace {

struct Vector {
    const char* what;
    std::string plain;
    const char* stream;       // hex
    bool encoded;             // the encoder writes exactly this stream
    std::streamoff consumed;  // what the decoder reads of it
};

void PrintTo(const Vector& v, std::ostream* os) { *os << v.what; }

class LzssVectorTest : public ::testing::TestWithParam<Vector> {};

// Decoding reads nothing after the end token and leaves both streams good.
TEST_P(LzssVectorTest, CodesTheExactBytes)
{
    const Vector& v = GetParam();
    if (v.encoded) {
        EXPECT_EQ(v.stream, Hex(Encode<CLzssCodec>(v.plain))) << v.what;
    }
    std::istringstream in(FromHex(v.stream));
    std::ostringstream out;
    NewLzss()->Decode(in, out, nullptr, nullptr, 1);
    EXPECT_EQ(v.plain, out.str()) << v.what;
    EXPECT_EQ(v.consumed, static_cast<std::streamoff>(in.tellg())) << v.what;
    EXPECT_TRUE(in.good() && out.good()) << v.what;
}

INSTANTIATE_TEST_SUITE_P(
    Format, LzssVectorTest,
    ::testing::Values(Vector{"empty input: end token and two fill bits", "", "00 00 00", true, 3},
                      Vector{"one literal", "a", "B0 80 00 00", true, 4},
                      Vector{"three literals", "abc", "B0 D8 AC 60 00 00 00", true, 7},
                      Vector{"four equal bytes: match cut to three, sent as literals", "aaaa",
                             "B0 D8 6C 36 10 00 00 00", true, 8},
                      Vector{"five equal bytes: literal and self-overlapping match", "aaaaa",
                             "B0 80 00 02 00 00 00 00", true, 8},
                      Vector{"abc four times: three literals, match of 9 at 1", "abcabcabcabc",
                             "B0 D8 AC 60 00 00 85 00 00 00", true, 10},
                      Vector{"empty stream, bytes after it", "", "00 00 00 FF FF", false, 3},
                      Vector{"a fill bit set is ignored", "a", "B0 80 00 01", false, 4},
                      Vector{"the end token completes in the second byte", "a", "B0 80 00 00 B0", false, 4},
                      // A fresh codec's window is cleared: a match from a
                      // position not written yet gives zeros.
                      Vector{"a match from a position not written yet", std::string(4, '\0'), "00 0F A0 00 00 00 00",
                             false, 7}),
    [](const ::testing::TestParamInfo<Vector>& p) { return "Vector" + std::to_string(p.index); });

TEST(LzssCodecTest, ThousandEqualBytesAreALiteralAndEightMatchesFromJustBefore)
{
    const std::vector<Token> tokens = ReadTokens(Encode<CLzssCodec>(std::string(1000, 'x')));
    ASSERT_EQ(10u, tokens.size());
    EXPECT_TRUE(tokens[0].literal);
    EXPECT_EQ('x', tokens[0].byte);
    for (size_t i = 1; i <= 8; ++i) {
        EXPECT_FALSE(tokens[i].literal);
        EXPECT_EQ(1 + 131 * (i - 1), tokens[i].position) << "match " << i;
        EXPECT_EQ(i < 8 ? 131u : 82u, tokens[i].length) << "match " << i;
    }
    EXPECT_EQ(0u, tokens[9].position);
}

}  // namespace
