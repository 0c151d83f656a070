// The decoder's window is cleared by the constructor, whatever memory the
// codec is built in. A fresh allocation of this size comes straight from the
// system, already zero, so the ordinary tests cannot tell; here the codec is
// built in memory filled with another byte first.
#include "archive/LzssCodec.h"

#include "tests/archive/LzssTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <sstream>
#include <string>

namespace {

class CDirtyCodec {
public:
    CDirtyCodec()
        : memory(::operator new(sizeof(CLzssCodec), std::align_val_t(alignof(CLzssCodec))))
    {
        std::memset(memory, 0xA5, sizeof(CLzssCodec));
        codec = ::new (memory) CLzssCodec;
    }
    ~CDirtyCodec()
    {
        codec->~CLzssCodec();
        ::operator delete(memory, std::align_val_t(alignof(CLzssCodec)));
    }
    CDirtyCodec(const CDirtyCodec&) = delete;
    CDirtyCodec& operator=(const CDirtyCodec&) = delete;

    CLzssCodec& operator*() { return *codec; }

private:
    void* memory;
    CLzssCodec* codec;
};

std::string Decode(CLzssCodec& codec, const std::string& hex)
{
    std::istringstream input(LzssTest::FromHex(hex));
    std::ostringstream output;
    codec.Decode(input, output, nullptr, nullptr, 1);
    return output.str();
}

TEST(LzssDirtyMemoryTest, PositionsNotWrittenYetDecodeToZeros)
{
    CDirtyCodec codec;
    // A match of 4 at position 1000 before anything was written...
    EXPECT_EQ(std::string(4, '\0'), Decode(*codec, "00 0F A0 00 00 00 00"));
    CDirtyCodec other;
    // ... and one of 131 at the last position, running on into 0, 1, ...
    EXPECT_EQ(std::string(131, '\0'), Decode(*other, "7F FF FF F8 00 00 00"));
}

}  // namespace
