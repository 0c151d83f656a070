// Helpers of the bit stream and codec tests: whole-string coding, a token
// reader of its own (independent of the code under test), seeded inputs and
// stream buffers that fail on purpose.
#pragma once

#include "archive/LzssCodec.h"
#include "tests/support/Raised.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

namespace LzssTest {

inline std::string Hex(const std::string& bytes)
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

inline std::string FromHex(const std::string& text)
{
    std::string bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 3)
        bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return bytes;
}

inline std::unique_ptr<CLzssCodec> NewLzss()
{
    return std::unique_ptr<CLzssCodec>(new CLzssCodec);
}

template <typename Codec>
std::string Encode(const std::string& plain)
{
    std::istringstream in(plain);
    std::ostringstream out;
    std::unique_ptr<CCodec>(new Codec)->Encode(in, out, nullptr, nullptr, 1);
    return out.str();
}

template <typename Codec>
std::string Decode(const std::string& stream)
{
    std::istringstream in(stream);
    std::ostringstream out;
    std::unique_ptr<CCodec>(new Codec)->Decode(in, out, nullptr, nullptr, 1);
    return out.str();
}

// A progress callback that collects the counts in the vector it is given.
inline void Record(uint32_t count, void* context)
{
    static_cast<std::vector<uint32_t>*>(context)->push_back(count);
}

// One token of a stream, with the bit just after it.
struct Token {
    bool literal;
    uint8_t byte;       // literal
    uint32_t position;  // match; 0 for the end token
    uint32_t length;    // match
    size_t endBit;
};

// The tokens of a stream up to and including the end token (or as many as
// are complete when the stream ends early).
inline std::vector<Token> ReadTokens(const std::string& stream)
{
    size_t bit = 0;
    bool cut = false;
    auto read = [&](int n) {
        uint32_t value = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            if (bit / 8 >= stream.size()) {
                cut = true;
                return 0u;
            }
            value = value << 1 | ((static_cast<uint8_t>(stream[bit / 8]) >> (7 - bit % 8)) & 1);
        }
        return value;
    };
    std::vector<Token> tokens;
    for (;;) {
        Token token{};
        token.literal = read(1) != 0;
        if (token.literal) {
            token.byte = static_cast<uint8_t>(read(8));
        } else {
            token.position = read(kWindowBits);
            if (!cut && token.position != 0)
                token.length = read(kLengthBits) + kMinMatch;
        }
        if (cut)
            return tokens;
        token.endBit = bit;
        tokens.push_back(token);
        if (!token.literal && token.position == 0)
            return tokens;
    }
}

// Deterministic pseudo-random numbers (splitmix64), the same on every platform.
class CRandom {
public:
    explicit CRandom(uint64_t seed) : state(seed) {}
    uint64_t Next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(Next() % bound); }

private:
    uint64_t state;
};

// Kinds of input that exercise different paths of the encoder.
enum class InputKind {
    kRandom,      // no matches
    kText,        // words of a small vocabulary: many short matches
    kBinary,      // records of small integers, pointers and zero padding
    kRuns,        // long runs of a few values: equal keys replace each other
    kPeriodic,    // short periods: matches that run into their own output
};

inline std::string MakeInput(InputKind kind, size_t size, uint64_t seed)
{
    CRandom random(seed);
    std::string data;
    data.reserve(size + 64);
    static const char* const words[] = {"the ", "file ", "setup ", "of ", "and ", "window ", "archive ",
                                        "is ", "a ", "stream ", "bytes ", "\n", ", ", "Kwo ", "run "};
    while (data.size() < size) {
        switch (kind) {
        case InputKind::kRandom:
            data += static_cast<char>(random.Next());
            break;
        case InputKind::kText:
            data += words[random.Below(sizeof words / sizeof words[0])];
            break;
        case InputKind::kBinary: {
            const uint32_t record[4] = {random.Below(16), 0x00400000u + random.Below(4096) * 4, random.Below(3),
                                        0};
            data.append(reinterpret_cast<const char*>(record), sizeof record);
            if (random.Below(16) == 0)
                data.append(random.Below(300), '\0');
            break;
        }
        case InputKind::kRuns:
            data.append(1 + random.Below(600), static_cast<char>("\0\xFF\x90"[random.Below(3)]));
            break;
        case InputKind::kPeriodic: {
            const size_t period = 1 + random.Below(12);
            std::string unit;
            for (size_t i = 0; i < period; ++i)
                unit += static_cast<char>(random.Next());
            for (size_t n = random.Below(2000); n > 0; --n)
                data += unit;
            break;
        }
        }
    }
    data.resize(size);
    return data;
}

// An output buffer that accepts limit bytes and then reports failure.
class CLimitedBuffer : public std::streambuf {
public:
    explicit CLimitedBuffer(size_t limit_) : limit(limit_) {}
    const std::string& Written() const { return written; }

protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof()) || written.size() >= limit)
            return traits_type::eof();
        written += traits_type::to_char_type(c);
        return c;
    }

private:
    size_t limit;
    std::string written;
};

}  // namespace LzssTest
