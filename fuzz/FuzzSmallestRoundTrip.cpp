// The smallest parse against the unchanged decoder: any bytes, encoded with
// it and decoded again, come back unchanged, and the stream is never longer
// than the exact parse's.
#include "fuzz/FuzzSupport.h"

#include "archive/LzssSmallestCodec.h"

#include <sstream>
#include <string>

namespace {

// Like Codec(): one object for the whole run.
CLzssSmallestCodec& SmallestCodec()
{
    static CLzssSmallestCodec* codec = new CLzssSmallestCodec;
    return *codec;
}

std::string EncodeWith(CCodec& codec, const std::string& plain)
{
    std::istringstream input(plain);
    std::ostringstream encoded;
    codec.Encode(input, encoded, nullptr, nullptr, 1);
    return encoded.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string plain(reinterpret_cast<const char*>(data), size);
    const std::string stream = EncodeWith(SmallestCodec(), plain);
    Require(stream.size() <= EncodeWith(Codec(), plain).size());

    std::istringstream again(stream);
    std::ostringstream decoded;
    Codec().Decode(again, decoded, nullptr, nullptr, 1);
    Require(decoded.str() == plain);
    return 0;
}
