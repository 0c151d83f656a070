// Sizes of the LZSS format and its encoder (format notes in LzssCodec.h).
#pragma once

#include <cstdint>

constexpr int kWindowBits = 21;                      // width of a position in the stream
constexpr uint32_t kWindowSize = 1u << kWindowBits;  // ring-buffer bytes
constexpr uint32_t kPositionMask = kWindowSize - 1;  // reduces every position sum
constexpr int kLengthBits = 7;                       // width of a length code
constexpr uint32_t kBreakEven = (1 + kWindowBits + kLengthBits) / 9;  // longest match sent as literals
constexpr uint32_t kLookAhead = (1u << kLengthBits) + kBreakEven;     // longest match and key length
constexpr uint32_t kMinMatch = kBreakEven + 1;                        // length of code 0
constexpr int32_t kNoNode = 0;                        // absent tree link; the end token's position
constexpr int32_t kRootEntry = static_cast<int32_t>(kWindowSize);  // parent of the top node
