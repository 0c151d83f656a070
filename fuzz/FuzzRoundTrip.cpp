// The LZSS encoder against the decoder: any bytes, encoded and decoded again,
// come back unchanged, and the encoded stream is never longer than the
// literal-only worst case (9 bits a byte plus the end token).
#include "fuzz/FuzzSupport.h"

#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string plain(reinterpret_cast<const char*>(data), size);
    std::istringstream input(plain);
    std::ostringstream encoded;
    Codec().Encode(input, encoded, nullptr, nullptr, 1);
    const std::string stream = encoded.str();
    Require(stream.size() <= (size * 9 + 22 + 7) / 8);

    std::istringstream again(stream);
    std::ostringstream decoded;
    Codec().Decode(again, decoded, nullptr, nullptr, 1);
    Require(decoded.str() == plain);
    return 0;
}
