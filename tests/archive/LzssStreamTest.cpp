// The codec over its streams: streams cut short, failing output, progress
// counts, and the state a stream is left in.
#include "archive/LzssCodec.h"
#include "tests/archive/LzssTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace LzssTest;

namespace {

// Cut after every byte: each prefix raises, having written exactly the
// tokens that it holds completely.
TEST(LzssStreamTest, CutStreamWritesTheCompleteTokensAndRaises)
{
    const std::string plain = "abracadabra, abracadabra! " + MakeInput(InputKind::kText, 120, 51) + "aaaaaaaaaaaa";
    const std::string stream = Encode<CLzssCodec>(plain);
    const std::vector<Token> tokens = ReadTokens(stream);
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        size_t expected = 0;
        for (const Token& t : tokens)
            if (t.endBit <= cut * 8 && !(t.position == 0 && !t.literal))
                expected += t.literal ? 1 : t.length;
        std::istringstream in(stream.substr(0, cut));
        std::ostringstream out;
        EXPECT_EQ("Unexpected end of file reached.",
                  RaisedMessage([&] { NewLzss()->Decode(in, out, nullptr, nullptr, 1); }))
            << "cut at " << cut;
        EXPECT_EQ(plain.substr(0, expected), out.str()) << "cut at " << cut;
        EXPECT_TRUE(in.eof() && in.fail()) << "cut at " << cut;
    }
}

struct ProgressCase {
    const char* what;
    bool encode;
    std::string input;
    uint32_t stride;
    std::vector<uint32_t> calls;
};

void PrintTo(const ProgressCase& c, std::ostream* os) { *os << c.what; }

class LzssProgressTest : public ::testing::TestWithParam<ProgressCase> {};

TEST_P(LzssProgressTest, ReportsCompressedBytes)
{
    const ProgressCase& c = GetParam();
    std::istringstream in(c.encode ? c.input : FromHex(c.input));
    std::ostringstream out;
    std::vector<uint32_t> calls;
    const std::unique_ptr<CLzssCodec> codec = NewLzss();
    if (c.encode)
        codec->Encode(in, out, Record, &calls, c.stride);
    else
        codec->Decode(in, out, Record, &calls, c.stride);
    EXPECT_EQ(c.calls, calls) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LzssProgressTest,
    ::testing::Values(
        ProgressCase{"encoding nothing: two full bytes, the flush is not counted", true, "", 1, {1, 2}},
        ProgressCase{"decoding the empty stream reads three bytes", false, "00 00 00", 1, {1, 2, 3}},
        ProgressCase{"seven bytes, stride 3: 1, 4, 7", false, "B0 D8 AC 60 00 00 00", 3, {1, 4, 7}},
        ProgressCase{"eight bytes written, stride 3: the flushed eighth is not counted", true, "aaaa", 3, {1, 4, 7}}),
    [](const ::testing::TestParamInfo<ProgressCase>& p) { return "Case" + std::to_string(p.index); });

// Output that fails after limit bytes: a full byte or the final partial one.
class LzssFailingOutputTest : public ::testing::TestWithParam<size_t> {};

TEST_P(LzssFailingOutputTest, RaisesUnableToWrite)
{
    const std::string plain = MakeInput(InputKind::kText, 3000, 61);
    const std::string stream = Encode<CLzssCodec>(plain);
    const size_t limit = GetParam() < stream.size() ? GetParam() : stream.size() - 1;
    if (limit == stream.size() - 1) {
        ASSERT_NE(0u, ReadTokens(stream).back().endBit % 8) << "the last byte must be the flushed partial one";
    }
    CLimitedBuffer buffer(limit);
    std::ostream out(&buffer);
    std::istringstream in(plain);
    EXPECT_EQ("Unable to write in a stream.",
              RaisedMessage([&] { NewLzss()->Encode(in, out, nullptr, nullptr, 1); }))
        << "limit " << limit;
    EXPECT_EQ(stream.substr(0, limit), buffer.Written()) << "limit " << limit;
    EXPECT_TRUE(out.bad());
}

// 0 and 1: the first full bytes; 1000000: clamped to all but the last byte,
// which is the partial one that the writer flushes at its end.
INSTANTIATE_TEST_SUITE_P(Limits, LzssFailingOutputTest, ::testing::Values(0, 1, 200, 1000000));

// An input that fails other than by ending is not encoded as a shorter one;
// one already at its end is the empty input.
TEST(LzssStreamTest, InputStateBeforeTheFirstByteCounts)
{
    std::istringstream bad("data"), ended("");
    bad.setstate(std::ios_base::badbit);
    ended.get();
    std::ostringstream badOut, endedOut;
    EXPECT_EQ("Unable to read from a stream.",
              RaisedMessage([&] { NewLzss()->Encode(bad, badOut, nullptr, nullptr, 1); }));
    NewLzss()->Encode(ended, endedOut, nullptr, nullptr, 1);
    EXPECT_EQ("00 00 00", Hex(endedOut.str()));
}

}  // namespace
