// Single-byte transfers must leave a stream exactly as istream::get and
// ostream::put do: each setup runs once with the standard operation and once
// with ours, and every result, state and exception must agree.
#include "archive/BitFileStreamIo.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Reads through uflow only: no get area, so every byte takes the slow path.
class CUnbufferedInput : public std::streambuf {
public:
    explicit CUnbufferedInput(std::string data_) : data(std::move(data_)) {}

protected:
    int_type underflow() override { return at < data.size() ? traits_type::to_int_type(data[at]) : traits_type::eof(); }
    int_type uflow() override { return at < data.size() ? traits_type::to_int_type(data[at++]) : traits_type::eof(); }

private:
    std::string data;
    size_t at = 0;
};

// Has a get area of two bytes, then fails by throwing.
class CThrowingInput : public std::streambuf {
public:
    CThrowingInput() { setg(bytes, bytes, bytes + 2); }

protected:
    int_type underflow() override { throw std::runtime_error("device lost"); }

private:
    char bytes[2] = {'x', 'y'};
};

// Keeps three bytes in a put area, then throws; counts synchronisations.
class CCountingOutput : public std::streambuf {
public:
    explicit CCountingOutput(bool throws_) : throws(throws_) { setp(bytes, bytes + 3); }
    int syncs = 0;
    std::string Contents() const { return std::string(pbase(), pptr()); }

protected:
    int sync() override
    {
        ++syncs;
        return 0;
    }
    int_type overflow(int_type) override
    {
        if (throws)
            throw std::runtime_error("disk full");
        return traits_type::eof();
    }

private:
    bool throws;
    char bytes[3];
};

// What one operation did: its result (or the exception it let out) and the
// stream's state afterwards.
struct Outcome {
    int result;
    std::string thrown;
    std::ios_base::iostate state;
    bool operator==(const Outcome& o) const { return result == o.result && thrown == o.thrown && state == o.state; }
};

std::ostream& operator<<(std::ostream& os, const Outcome& o)
{
    return os << "{result " << o.result << ", thrown '" << o.thrown << "', state " << o.state << "}";
}

// Puts stream in state initial with the exception mask given (which may
// throw at once), then runs op times times.
template <typename Stream, typename Op>
std::vector<Outcome> RunTimes(Stream& stream, std::ios_base::iostate initial, std::ios_base::iostate exceptions,
                              int times, Op op)
{
    stream.setstate(initial);
    try {
        stream.exceptions(exceptions);
    } catch (const std::ios_base::failure&) {
    }
    std::vector<Outcome> outcomes;
    for (int i = 0; i < times; ++i) {
        Outcome o{0, "", std::ios_base::goodbit};
        try {
            o.result = op();
        } catch (const std::ios_base::failure&) {
            o.thrown = "ios_base::failure";
        } catch (const std::exception& e) {
            o.thrown = e.what();
        }
        o.state = stream.rdstate();
        outcomes.push_back(o);
    }
    return outcomes;
}

// A fresh input stream (and what it reads from) for one run.
struct InputSetup {
    const char* what;
    std::function<std::unique_ptr<std::streambuf>()> buffer;
    std::ios_base::iostate initial;
    std::ios_base::iostate exceptions;
    bool tied;
};

void PrintTo(const InputSetup& c, std::ostream* os) { *os << c.what; }

class BitFileStreamIoGetTest : public ::testing::TestWithParam<InputSetup> {};

TEST_P(BitFileStreamIoGetTest, LeavesTheStreamAsGetDoes)
{
    const InputSetup& s = GetParam();
    // A tied stream is flushed before every read that get makes.
    auto run = [&](bool ours) {
        std::unique_ptr<std::streambuf> buffer = s.buffer();
        std::istream in(buffer.get());
        CCountingOutput tiedBuffer(false);
        std::ostream tie(&tiedBuffer);
        if (s.tied)
            in.tie(&tie);
        auto outcomes =
            RunTimes(in, s.initial, s.exceptions, 4, [&] { return ours ? CBitFileStreamIo::Get(in) : in.get(); });
        return std::make_pair(outcomes, tiedBuffer.syncs);
    };
    EXPECT_EQ(run(false), run(true)) << s.what;
}

std::unique_ptr<std::streambuf> Text(const char* text)
{
    return std::make_unique<std::stringbuf>(text);
}

INSTANTIATE_TEST_SUITE_P(
    Setups, BitFileStreamIoGetTest,
    ::testing::Values(
        InputSetup{"bytes then the end", [] { return Text("ab"); }, std::ios_base::goodbit, std::ios_base::goodbit, false},
        InputSetup{"already failed", [] { return Text("ab"); }, std::ios_base::failbit, std::ios_base::goodbit, false},
        InputSetup{"already at the end", [] { return Text(""); }, std::ios_base::eofbit, std::ios_base::goodbit, false},
        InputSetup{"no get area", [] { return std::unique_ptr<std::streambuf>(new CUnbufferedInput("ab")); },
                   std::ios_base::goodbit, std::ios_base::goodbit, false},
        InputSetup{"the buffer throws", [] { return std::unique_ptr<std::streambuf>(new CThrowingInput); },
                   std::ios_base::goodbit, std::ios_base::goodbit, false},
        InputSetup{"the buffer throws, badbit in the mask",
                   [] { return std::unique_ptr<std::streambuf>(new CThrowingInput); }, std::ios_base::goodbit,
                   std::ios_base::badbit, false},
        InputSetup{"the end with eofbit in the mask", [] { return Text("a"); }, std::ios_base::goodbit,
                   std::ios_base::eofbit, false},
        InputSetup{"tied to an output stream", [] { return Text("abc"); }, std::ios_base::goodbit,
                   std::ios_base::goodbit, true}),
    [](const ::testing::TestParamInfo<InputSetup>& p) { return "Setup" + std::to_string(p.index); });

struct OutputSetup {
    const char* what;
    bool throws;
    std::ios_base::iostate initial;
    std::ios_base::iostate exceptions;
    bool unitbuf;
};

void PrintTo(const OutputSetup& c, std::ostream* os) { *os << c.what; }

class BitFileStreamIoPutTest : public ::testing::TestWithParam<OutputSetup> {};

TEST_P(BitFileStreamIoPutTest, LeavesTheStreamAsPutDoes)
{
    const OutputSetup& s = GetParam();
    auto run = [&](bool ours) {
        CCountingOutput buffer(s.throws);
        std::ostream out(&buffer);
        if (s.unitbuf)
            out.setf(std::ios_base::unitbuf);
        int next = 'a';
        auto outcomes = RunTimes(out, s.initial, s.exceptions, 5, [&] {
            if (ours)
                CBitFileStreamIo::Put(out, static_cast<uint8_t>(next++));
            else
                out.put(static_cast<char>(next++));
            return 0;
        });
        return std::make_tuple(outcomes, buffer.Contents(), buffer.syncs);
    };
    EXPECT_EQ(run(false), run(true)) << s.what;
}

INSTANTIATE_TEST_SUITE_P(
    Setups, BitFileStreamIoPutTest,
    ::testing::Values(
        OutputSetup{"room for three, then the buffer refuses", false, std::ios_base::goodbit, std::ios_base::goodbit,
                    false},
        OutputSetup{"room for three, then the buffer throws", true, std::ios_base::goodbit, std::ios_base::goodbit,
                    false},
        OutputSetup{"the buffer throws, badbit in the mask", true, std::ios_base::goodbit, std::ios_base::badbit,
                    false},
        OutputSetup{"already failed", false, std::ios_base::failbit, std::ios_base::goodbit, false},
        OutputSetup{"already bad", false, std::ios_base::badbit, std::ios_base::goodbit, false},
        OutputSetup{"unitbuf: a sync after every byte", false, std::ios_base::goodbit, std::ios_base::goodbit, true}),
    [](const ::testing::TestParamInfo<OutputSetup>& p) { return "Setup" + std::to_string(p.index); });

TEST(BitFileStreamIoTest, BlockPutMatchesSinglePuts)
{
    const uint8_t bytes[5] = {'v', 'w', 'x', 'y', 'z'};
    for (bool throws : {false, true}) {
        CCountingOutput a(throws), b(throws);
        std::ostream outA(&a), outB(&b);
        CBitFileStreamIo::Put(outA, bytes, 2);
        CBitFileStreamIo::Put(outA, bytes + 2, 3);  // runs past the room of three
        for (uint8_t c : bytes)
            outB.put(static_cast<char>(c));
        EXPECT_EQ(b.Contents(), a.Contents());
        EXPECT_EQ(outB.rdstate(), outA.rdstate());
    }
}

}  // namespace
