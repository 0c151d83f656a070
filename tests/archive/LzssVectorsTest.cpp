// Exact byte vectors of the LZSS format, in both directions, and the token
// structure of inputs too long to spell out.
#include "archive/LzssCodec.h"
#include "tests/archive/LzssTestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

using namespace LzssTest;

namespace {

struct Vector {
    const char* what;
    std::string plain;
    const char* encoded;  // hex
};

void PrintTo(const Vector& c, std::ostream* os)
{
    *os << c.what;
}

class LzssVectorTest : public ::testing::TestWithParam<Vector> {};

TEST_P(LzssVectorTest, EncodesToTheExactBytesAndDecodesBack)
{
    const Vector& v = GetParam();
    const std::string encoded = Encode<CLzssCodec>(v.plain);
    EXPECT_EQ(v.encoded, Hex(encoded)) << v.what;
    EXPECT_EQ(v.plain, Decode<CLzssCodec>(encoded)) << v.what;
}

INSTANTIATE_TEST_SUITE_P(
    Format, LzssVectorTest,
    ::testing::Values(Vector{"empty input: end token and two fill bits", "", "00 00 00"},
                      Vector{"one literal", "a", "B0 80 00 00"},
                      Vector{"three literals", "abc", "B0 D8 AC 60 00 00 00"},
                      Vector{"four equal bytes: match cut to three, sent as literals", "aaaa",
                             "B0 D8 6C 36 10 00 00 00"},
                      Vector{"five equal bytes: literal and self-overlapping match", "aaaaa",
                             "B0 80 00 02 00 00 00 00"},
                      Vector{"abc four times: three literals, match of 9 at 1", "abcabcabcabc",
                             "B0 D8 AC 60 00 00 85 00 00 00"}),
    [](const ::testing::TestParamInfo<Vector>& p) { return "Vector" + std::to_string(p.index); });

struct DecodeVector {
    const char* what;
    const char* stream;  // hex
    std::string plain;
    std::streamoff consumed;
};

void PrintTo(const DecodeVector& c, std::ostream* os)
{
    *os << c.what;
}

class LzssDecodeVectorTest : public ::testing::TestWithParam<DecodeVector> {};

TEST_P(LzssDecodeVectorTest, DecodesAndReadsNothingAfterTheEndToken)
{
    const DecodeVector& v = GetParam();
    std::istringstream in(FromHex(v.stream));
    std::ostringstream out;
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    codec->Decode(in, out, nullptr, nullptr, 1);
    EXPECT_EQ(v.plain, out.str()) << v.what;
    EXPECT_EQ(v.consumed, static_cast<std::streamoff>(in.tellg())) << v.what;
}

INSTANTIATE_TEST_SUITE_P(
    Format, LzssDecodeVectorTest,
    ::testing::Values(DecodeVector{"empty stream, bytes after it", "00 00 00 FF FF", "", 3},
                      DecodeVector{"a fill bit set is ignored", "B0 80 00 01", "a", 4},
                      DecodeVector{"the end token completes in the second byte", "B0 80 00 00 B0", "a", 4},
                      // A fresh codec's window is cleared: a match from a
                      // position not written yet gives zeros.
                      DecodeVector{"a match from a position not written yet", "00 0F A0 00 00 00 00",
                                   std::string(4, '\0'), 7}),
    [](const ::testing::TestParamInfo<DecodeVector>& p) { return "Vector" + std::to_string(p.index); });

TEST(LzssCodecTest, EmptyStreamRaisesAndWritesNothing)
{
    std::istringstream in("");
    std::ostringstream out;
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    EXPECT_EQ("Unexpected end of file reached.",
              RaisedMessage([&] { codec->Decode(in, out, nullptr, nullptr, 1); }));
    EXPECT_TRUE(out.str().empty());
}

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

TEST(LzssCodecTest, NameIsFixed)
{
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    EXPECT_EQ("LZSS encoder/decoder", codec->GetName());
}

}  // namespace
