// The LZSS codec written the plainest way: the match tree walked exactly as
// the encoder's algorithm states it, byte-by-byte key comparisons, and the
// plain bit stream of BaselineBitFile.h. It produces the same bytes as
// CLzssCodec and serves as the yardstick for its speed and its output.
#pragma once

#include "archive/Codec.h"
#include "archive/LzssCodec.h"

#include <cstdint>

class CBaselineLzssCodec : public CCodec {
public:
    CBaselineLzssCodec();
    ~CBaselineLzssCodec() override;

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
    MatchNode nodes[kWindowSize + 1];  // the last entry is the root holder
};
