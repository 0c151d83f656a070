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
//
// Encoding is a parse over one match finder: the finder walks every position
// with its longest match (LzssMatchFinder.h), the parse chooses the tokens,
// and the token writer alone turns them into bits (LzssTokenWriter.h). This
// class parses exactly as the format's encoder always has: at each token
// boundary the longest match when it is longer than kBreakEven, else a
// literal. CLzssSmallestCodec (LzssSmallestCodec.h) parses for the smallest
// stream instead; both decode the same way.
#pragma once

#include "archive/Codec.h"
#include "archive/LzssConstants.h"
#include "archive/LzssMatchFinder.h"
#include "archive/LzssMatchTree.h"
#include "archive/LzssTokenWriter.h"

#include <cstddef>
#include <cstdint>

// A node of the match tree as the encoder's algorithm states it: three
// signed positions, kNoNode when absent. CLzssMatchTree keeps the same links
// in another layout; the memory budget of a codec object is the window and
// kWindowSize + 1 of these (27,262,988 bytes).
struct MatchNode {
    int32_t parent;
    int32_t smaller;
    int32_t larger;
};
constexpr size_t kLzssCodecMaxSize = kWindowSize + (kWindowSize + 1) * sizeof(MatchNode);

class CLzssCodec : public CCodec {
public:
    // Clears the window, so that a malformed stream naming a position that
    // the run has not written yet decodes to zeros, the same on every run.
    CLzssCodec();
    ~CLzssCodec() override;

    // The exact parse, token for token the format's encoder.
    void Encode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                uint32_t stride) override;
    void Decode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                uint32_t stride) override;
    std::string GetName() override;

    // One allocation per codec. Natively it is aligned to and advised for
    // large pages: the encoder's loads are spread over 24 MiB, and with small
    // pages nearly each of them also misses the address translation cache.
    static void* operator new(size_t size);
    static void operator delete(void* memory) noexcept;

protected:
    // Encodes input with parse(finder, writer) choosing every token up to the
    // end of the input; then the end token.
    template <typename Parse>
    void EncodeWith(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                    uint32_t stride, Parse&& parse)
    {
        CLzssTokenWriter writer(output, callback, context, stride);
        CLzssMatchFinder finder(window, tree, input);
        parse(finder, writer);
        writer.End();
    }

private:
    void CopyMatch(uint32_t position, uint32_t length, uint32_t& current, std::ostream& output);

    uint8_t window[kWindowSize];
    CLzssMatchTree tree;  // the encoder's; a codec that only decodes never touches it
};

static_assert(sizeof(CLzssCodec) <= kLzssCodecMaxSize, "the codec object outgrew its memory budget");
