#include "bench/BenchZlib.h"

#include <stdexcept>
#include <zlib.h>

void ZlibDeflate(const std::string& input, std::vector<unsigned char>& output)
{
    uLongf size = compressBound(static_cast<uLong>(input.size()));
    output.resize(size);
    const int result = compress2(output.data(), &size, reinterpret_cast<const Bytef*>(input.data()),
                                 static_cast<uLong>(input.size()), Z_BEST_COMPRESSION);
    if (result != Z_OK)
        throw std::runtime_error("zlib compress2 failed: " + std::to_string(result));
    output.resize(size);
}

void ZlibInflate(const std::vector<unsigned char>& input, std::vector<unsigned char>& output)
{
    uLongf size = static_cast<uLongf>(output.size());
    const int result = uncompress(output.data(), &size, input.data(), static_cast<uLong>(input.size()));
    if (result != Z_OK || size != output.size())
        throw std::runtime_error("zlib uncompress failed: " + std::to_string(result));
}
