// The bit stream: bit order, lazy fetching, counting and progress, failures,
// and agreement with the plain bit-at-a-time stream of the baseline (the
// exact bytes of the format are the codec's vectors).
#include "archive/BitFile.h"
#include "bench/baseline/BaselineBitFile.h"
#include "tests/archive/LzssTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace LzssTest;

namespace {

struct ReadCase {
    const char* what;
    const char* input;            // hex
    std::vector<int> widths;      // 1 reads with ReadBit
    std::vector<uint32_t> values;  // one per read that succeeds
    int failsAt;                  // index of the read that raises, -1 if none
    uint32_t byteCount;           // afterwards
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.what; }

class BitFileReaderTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(BitFileReaderTest, ReadsMostSignificantFirstAndFetchesLazily)
{
    const ReadCase& c = GetParam();
    std::istringstream in(FromHex(c.input));
    std::vector<uint32_t> calls;
    CBitFileReader reader(in, Record, &calls, 1);
    std::vector<uint32_t> values;
    for (size_t i = 0; i < c.widths.size(); ++i) {
        auto read = [&] { return c.widths[i] == 1 ? uint32_t(reader.ReadBit()) : reader.ReadBits(c.widths[i]); };
        if (static_cast<int>(i) != c.failsAt) {
            values.push_back(read());
            continue;
        }
        const auto e = Raised(read);
        ASSERT_TRUE(e) << c.what;
        EXPECT_EQ("Unexpected end of file reached.", e->MessageText());
        EXPECT_EQ("BitFileError", e->Category());
        break;
    }
    EXPECT_EQ(c.values, values) << c.what;
    EXPECT_EQ(c.byteCount, reader.ByteCount()) << c.what;
    // Exactly the counted bytes left the stream, each reported with stride 1.
    EXPECT_EQ(calls.size(), c.byteCount) << c.what;
    if (c.failsAt < 0) {
        EXPECT_EQ(static_cast<std::streamoff>(c.byteCount), static_cast<std::streamoff>(in.tellg())) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BitFileReaderTest,
    ::testing::Values(
        ReadCase{"empty input: the first bit raises", "", {1}, {}, 0, 0},
        ReadCase{"8 bits at a boundary are the next byte", "A5 FF", {8}, {0xA5}, -1, 1},
        ReadCase{"21 bits after one bit span three bytes and leave two", "C3 5A F0", {1, 21, 2},
                 {1, 0x10D6BC, 0}, -1, 3},
        ReadCase{"the next byte is fetched only when a bit of it is asked for", "FF 00 00", {4, 4}, {15, 15}, -1, 1},
        ReadCase{"32 bits from inside a byte span five bytes", "0F 12 34 56 78 9A", {4, 32, 4},
                 {0x0, 0xF1234567, 0x8}, -1, 5},
        ReadCase{"the input ends inside a value", "FF", {4, 8}, {15}, 1, 1}),
    [](const ::testing::TestParamInfo<ReadCase>& p) { return "Case" + std::to_string(p.index); });

// Random widths and values (wider than their widths) against the plain
// bit-at-a-time stream: the bytes with the flushed partial one (seed 16 ends
// on a byte boundary), the counts, the values read back. Width 1 goes through
// WriteBit and ReadBit.
TEST(BitFileTest, AgreesWithThePlainStreamOnRandomWidths)
{
    for (uint64_t seed = 1; seed <= 20; ++seed) {
        CRandom random(seed);
        std::vector<std::pair<uint32_t, int>> writes;
        for (int i = 0; i < 300; ++i) {
            const int width = 1 + static_cast<int>(random.Below(32));
            writes.emplace_back(static_cast<uint32_t>(random.Next()), width);
        }
        std::ostringstream ours, plain;
        {
            CBitFileWriter a(ours, nullptr, nullptr, 1);
            CBaselineBitWriter b(plain, nullptr, nullptr, 1);
            for (const auto& w : writes) {
                if (w.second == 1)
                    a.WriteBit(static_cast<int>(w.first & 1));
                else
                    a.WriteBits(w.first, w.second);
                b.WriteBits(w.first, w.second);
            }
            ASSERT_EQ(b.ByteCount(), a.ByteCount()) << "seed " << seed;
        }
        ASSERT_EQ(Hex(plain.str()), Hex(ours.str())) << "seed " << seed;

        std::istringstream inA(plain.str()), inB(plain.str());
        CBitFileReader a(inA, nullptr, nullptr, 1);
        CBaselineBitReader b(inB, nullptr, nullptr, 1);
        for (const auto& w : writes) {
            const uint32_t value = w.second == 1 ? uint32_t(a.ReadBit()) : a.ReadBits(w.second);
            ASSERT_EQ(b.ReadBits(w.second), value) << "seed " << seed;
            ASSERT_EQ(b.ByteCount(), a.ByteCount()) << "seed " << seed;
        }
    }
}

struct ScheduleCase {
    uint32_t stride;
    uint32_t bytes;
    std::vector<uint32_t> calls;
};

void PrintTo(const ScheduleCase& c, std::ostream* os) { *os << c.bytes << " bytes, stride " << c.stride; }

class BitFileProgressTest : public ::testing::TestWithParam<ScheduleCase> {};

// The callback runs on the 1st, (stride+1)th, (2*stride+1)th ... byte moved,
// reading or writing alike; a stride of 0 counts as 1.
TEST_P(BitFileProgressTest, CallsOnTheFirstByteAndEveryStrideAfter)
{
    const ScheduleCase& c = GetParam();
    std::vector<uint32_t> readCalls, writeCalls;
    std::istringstream in(std::string(c.bytes, '\x5A'));
    CBitFileReader reader(in, Record, &readCalls, c.stride);
    std::ostringstream out;
    {
        CBitFileWriter writer(out, Record, &writeCalls, c.stride);
        for (uint32_t i = 0; i < c.bytes; ++i)
            writer.WriteBits(reader.ReadBits(8), 8);
        writer.WriteBit(1);  // the flush byte is never reported
    }
    EXPECT_EQ(c.calls, readCalls) << "stride " << c.stride;
    EXPECT_EQ(c.calls, writeCalls) << "stride " << c.stride;
    EXPECT_EQ(c.bytes + 1, out.str().size());
}

INSTANTIATE_TEST_SUITE_P(Schedules, BitFileProgressTest,
                         ::testing::Values(ScheduleCase{1, 4, {1, 2, 3, 4}}, ScheduleCase{3, 10, {1, 4, 7, 10}},
                                           ScheduleCase{3, 9, {1, 4, 7}}, ScheduleCase{0, 3, {1, 2, 3}},
                                           ScheduleCase{5, 1, {1}}, ScheduleCase{5, 0, {}}),
                         [](const ::testing::TestParamInfo<ScheduleCase>& p) {
                             return "Stride" + std::to_string(p.param.stride) + "Bytes" + std::to_string(p.param.bytes);
                         });

TEST(BitFileTest, FailedFullByteRaisesOnceAndIsNotCounted)
{
    CLimitedBuffer buffer(1);
    std::ostream out(&buffer);
    std::vector<uint32_t> calls;
    uint32_t counted = 0;
    // The writer is destroyed while the raise propagates, with the failed
    // byte pending: it must not raise a second time.
    const std::string message = RaisedMessage([&] {
        CBitFileWriter writer(out, Record, &calls, 1);
        try {
            writer.WriteBits(0xA5C3, 16);
        } catch (CKwoException*) {
            counted = writer.ByteCount();
            throw;
        }
    });
    EXPECT_EQ("Unable to write in a stream.", message);
    EXPECT_EQ(1u, counted);
    EXPECT_EQ(std::vector<uint32_t>{1}, calls);
    EXPECT_EQ("A5", Hex(buffer.Written()));
    EXPECT_TRUE(out.bad());
}

TEST(BitFileTest, PendingBitsDoNotTurnAnotherErrorIntoASecondOne)
{
    CLimitedBuffer buffer(0);
    std::ostream out(&buffer);
    EXPECT_THROW(
        {
            CBitFileWriter writer(out, nullptr, nullptr, 1);
            writer.WriteBits(3, 2);
            throw std::runtime_error("elsewhere");
        },
        std::runtime_error);
    EXPECT_TRUE(buffer.Written().empty());
}

}  // namespace
