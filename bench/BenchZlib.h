// zlib as the peer: deflate at level 9 and inflate, memory to memory.
#pragma once

#include <string>
#include <vector>

// Compresses input into output (resized to the compressed size); output's
// capacity from an earlier call is reused. Throws std::runtime_error.
void ZlibDeflate(const std::string& input, std::vector<unsigned char>& output);

// Decompresses input into output, which must have exactly the original size.
void ZlibInflate(const std::vector<unsigned char>& input, std::vector<unsigned char>& output);
