// Exact byte vectors of the LZSS format, in both directions.
#include "archive/LzssCodec.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

namespace {

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char c : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[c >> 4];
        text += digits[c & 15];
    }
    return text;
}

std::string Encode(const std::string& data)
{
    std::istringstream in(data);
    std::ostringstream out;
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    codec->Encode(in, out, nullptr, nullptr, 1);
    return out.str();
}

std::string Decode(const std::string& stream)
{
    std::istringstream in(stream);
    std::ostringstream out;
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    codec->Decode(in, out, nullptr, nullptr, 1);
    return out.str();
}

struct Vector {
    const char* what;
    std::string plain;
    const char* encoded;  // hex
};

class LzssVectorTest : public ::testing::TestWithParam<Vector> {};

TEST_P(LzssVectorTest, EncodesToTheExactBytesAndDecodesBack)
{
    const Vector& v = GetParam();
    const std::string encoded = Encode(v.plain);
    EXPECT_EQ(v.encoded, Hex(encoded)) << v.what;
    EXPECT_EQ(v.plain, Decode(encoded)) << v.what;
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

TEST(LzssCodecTest, NameIsFixed)
{
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    EXPECT_EQ("LZSS encoder/decoder", codec->GetName());
}

}  // namespace
