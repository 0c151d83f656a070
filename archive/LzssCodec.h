// LZSS codec over a 2 MiB ring buffer.
//
// Format notes. No header, length or checksum: a sequence of tokens, most
// significant bit first, then 0 fill bits up to the next byte boundary.
//   literal  9 bits: 1, byte (8)
//   match   29 bits: 0, position (21, 1..2097151), length - 4 (7, so 4..131)
//   end     22 bits: 0, position 0 (21)
// Positions are absolute ring-buffer indices. Output byte k is stored at
// position (k + 1) mod 2^21, so the first byte goes to position 1 and
// position 0 is never a match source. A match copies one byte at a time and
// may run into the bytes it produces.
//
// The encoder keeps every recent position in a binary search tree keyed by the
// 131 bytes starting there; the deepest node sharing the longest prefix with
// the new position is the match (ties go to the node met last).
#pragma once

#include "archive/Codec.h"

#include <cstdint>

constexpr int kWindowBits = 21;
constexpr uint32_t kWindowSize = 1u << kWindowBits;
constexpr uint32_t kPositionMask = kWindowSize - 1;
constexpr int kLengthBits = 7;
constexpr uint32_t kBreakEven = (1 + kWindowBits + kLengthBits) / 9;
constexpr uint32_t kLookAhead = (1u << kLengthBits) + kBreakEven;
constexpr uint32_t kMinMatch = kBreakEven + 1;
constexpr int32_t kNoNode = 0;
constexpr int32_t kRootEntry = static_cast<int32_t>(kWindowSize);

struct MatchNode {
    int32_t parent;
    int32_t smaller;
    int32_t larger;
};

class CLzssCodec : public CCodec {
public:
    CLzssCodec();
    ~CLzssCodec() override;

    void Encode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                uint32_t stride) override;
    void Decode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                uint32_t stride) override;
    std::string GetName() override;

private:
    void ResetTree(int32_t position);
    uint32_t InsertAndMatch(int32_t position, int32_t& matchPosition);
    void RemovePosition(int32_t position);
    void LiftChild(int32_t oldNode, int32_t newNode);
    void SubstituteNode(int32_t oldNode, int32_t newNode);
    int32_t FindPredecessor(int32_t node) const;
    int32_t& LinkTo(int32_t node);

    uint8_t window[kWindowSize];
    MatchNode nodes[kWindowSize + 1];
};
