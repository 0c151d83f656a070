// Round trips over both parses. The exact parse is held to the
// straightforward baseline byte for byte; the smallest parse must decode back
// with the same decoder and never be longer. The decoder is held to the
// baseline on any stream, well formed or not.
#include "archive/LzssCodec.h"
#include "archive/LzssSmallestCodec.h"
#include "bench/baseline/BaselineLzssCodec.h"
#include "tests/archive/LzssTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

using namespace LzssTest;

// For test names and failures: found by argument-dependent lookup, so beside
// the type, in the global namespace.
static void PrintTo(LzssParse parse, std::ostream* os)
{
    *os << (parse == LzssParse::kExact ? "exact parse" : "smallest parse");
}

namespace {

struct RoundTrip {
    const char* what;
    InputKind kind;
    size_t size;
    uint64_t seed;
    bool wraps;     // some match takes its source through position 0
    size_t period;  // when not 0, the input repeats with this period
};

void PrintTo(const RoundTrip& r, std::ostream* os) { *os << r.what; }

const RoundTrip kRoundTrips[] = {
    {"random", InputKind::kRandom, 70000, 11, false, 0},
    {"text", InputKind::kText, 200000, 12, false, 0},
    // Longer than a block of the smallest parse.
    {"binary records", InputKind::kBinary, 300000, 13, false, 0},
    {"long runs", InputKind::kRuns, 300000, 14, false, 0},
    {"short periods", InputKind::kPeriodic, 300000, 15, false, 0},
    // Beyond 2 MiB: the ring wraps, the oldest positions leave the tree and
    // position 0 is written and read.
    {"short periods past the window", InputKind::kPeriodic, 2300000, 17, true, 0},
    // Every new key equals that of the oldest position, which has just left
    // the tree: walks made ahead of their turn meet it and must be made again.
    {"a period of the window less 130", InputKind::kBinary, kWindowSize + 40000, 18, false, kWindowSize - 130},
};

std::string RoundTripInput(const RoundTrip& r)
{
    std::string plain = MakeInput(r.kind, r.period != 0 ? r.period : r.size, r.seed);
    while (plain.size() < r.size)
        plain += plain.substr(0, std::min(r.period, r.size - plain.size()));
    return plain;
}

// Whether a match of the stream takes its source across the end of the
// window, through position 0.
bool HasMatchThroughPositionZero(const std::string& stream)
{
    for (const Token& t : ReadTokens(stream))
        if (!t.literal && t.position + t.length > kWindowSize)
            return true;
    return false;
}

class LzssRoundTripTest : public ::testing::TestWithParam<std::tuple<LzssParse, RoundTrip>> {};

TEST_P(LzssRoundTripTest, DecodesBackAndIsNoLongerThanTheExactParse)
{
    const LzssParse parse = std::get<0>(GetParam());
    const RoundTrip& r = std::get<1>(GetParam());
    const std::string plain = RoundTripInput(r);
    const std::string exact = Encode<CLzssCodec>(plain);
    std::string ours;
    if (parse == LzssParse::kExact) {
        ours = exact;
        const std::string baseline = Encode<CBaselineLzssCodec>(plain);
        ASSERT_EQ(baseline.size(), ours.size()) << r.what << ", seed " << r.seed;
        EXPECT_TRUE(baseline == ours) << r.what << ", seed " << r.seed << ": the streams differ";
    } else {
        ours = Encode<CLzssSmallestCodec>(plain);
        EXPECT_LE(ours.size(), exact.size()) << r.what << ", seed " << r.seed;
    }
    EXPECT_TRUE(plain == Decode<CLzssCodec>(ours)) << r.what << ", seed " << r.seed << ": no round trip";
    if (r.wraps) {
        EXPECT_TRUE(HasMatchThroughPositionZero(ours)) << r.what << ": the wrap is not exercised";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, LzssRoundTripTest,
    ::testing::Combine(::testing::Values(LzssParse::kExact, LzssParse::kSmallest), ::testing::ValuesIn(kRoundTrips)),
    [](const ::testing::TestParamInfo<std::tuple<LzssParse, RoundTrip>>& p) {
        return std::string(std::get<0>(p.param) == LzssParse::kExact ? "Exact" : "Smallest") + "Input" +
               std::to_string(p.index % (sizeof kRoundTrips / sizeof kRoundTrips[0]));
    });

// Malformed streams (and good ones cut short): whatever a stream holds, the
// decoder gives what the baseline gives, deterministically.
TEST(LzssCodecTest, DecodesAnyStreamAsTheBaseline)
{
    const std::string good = Encode<CLzssCodec>(MakeInput(InputKind::kText, 20000, 31));
    for (uint64_t seed = 1; seed <= 40; ++seed) {
        CRandom random(seed);
        std::string stream;
        if (seed % 2 == 0) {
            // Random bytes, flags biased towards literals so that streams run long.
            for (size_t i = 0, n = 50 + random.Below(3000); i < n; ++i)
                stream += static_cast<char>(random.Next() | (random.Below(3) == 0 ? 0 : 0x80));
        } else {
            stream = good;
            for (int k = 0; k < 5; ++k)
                stream[random.Below(static_cast<uint32_t>(stream.size()))] ^= static_cast<char>(1 + random.Below(255));
        }
        auto decode = [&stream](auto codec, std::string& error) {
            std::istringstream in(stream);
            std::ostringstream out;
            if (const auto e = RaisedIfAny([&] { codec->Decode(in, out, nullptr, nullptr, 1); }))
                error = e->MessageText();
            return out.str();
        };
        std::string ourError, baselineError;
        const std::string ours = decode(std::make_unique<CLzssCodec>(), ourError);
        const std::string baseline = decode(std::make_unique<CBaselineLzssCodec>(), baselineError);
        EXPECT_EQ(baselineError, ourError) << "seed " << seed;
        EXPECT_TRUE(baseline == ours) << "seed " << seed << ": outputs differ";
    }
}

TEST(LzssCodecTest, FreshCodecReadsZerosWhereAnEarlierOneLeftBytes)
{
    // Fill a window, then free it: the next codec is likely to get the same
    // memory, and must not show what it held.
    Decode<CLzssCodec>(Encode<CLzssCodec>(MakeInput(InputKind::kRandom, 5000, 41)));
    EXPECT_EQ(std::string(4, '\0'), Decode<CLzssCodec>(FromHex("00 0F A0 00 00 00 00")));
}

}  // namespace
