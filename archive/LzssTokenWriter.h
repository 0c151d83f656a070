// The encoders' only way to the bit stream: tokens in, bits out. It alone
// knows how wide each token is (format notes in LzssCodec.h); a parse only
// decides which tokens to send.
#pragma once

#include "archive/BitFile.h"
#include "archive/LzssConstants.h"

#include <cstdint>
#include <iosfwd>

class CLzssTokenWriter {
public:
    static constexpr int kLiteralBits = 1 + 8;                           // flag 1, byte
    static constexpr int kMatchBits = 1 + kWindowBits + kLengthBits;     // flag 0, position, length code
    static constexpr int kEndBits = 1 + kWindowBits;                     // flag 0, position 0
    static constexpr uint32_t kLiteralFlag = 1u << 8;                    // the flag above the byte

    // The callback, context and stride go to the bit stream unchanged.
    CLzssTokenWriter(std::ostream& output, ProgressCallback callback, void* context, uint32_t stride)
        : bits(output, callback, context, stride)
    {
    }

    void Literal(uint8_t value) { bits.WriteBits(kLiteralFlag | value, kLiteralBits); }

    // A copy of length bytes (kMinMatch to kLookAhead) from position (1 to
    // kPositionMask; 0 would read as the end).
    void Match(uint32_t position, uint32_t length)
    {
        bits.WriteBits(position << kLengthBits | (length - kMinMatch), kMatchBits);
    }

    // The end token; the fill bits follow when the writer is destroyed.
    void End() { bits.WriteBits(0, kEndBits); }

private:
    CBitFileWriter bits;
};
