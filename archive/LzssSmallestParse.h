// The parse for the smallest stream: the cheapest way in bits from the first
// byte to the last, over the literal and the matches the finder offers at
// every position. The notes in LzssSmallestParse.cpp tell why the longest
// match at each position is all it needs and how it is found in one pass.
#pragma once

#include "archive/LzssConstants.h"
#include "archive/LzssMatchFinder.h"
#include "archive/LzssTokenWriter.h"

#include <cstdint>

class CLzssSmallestParse {
public:
    // Positions in one block before it may end. The block then ends at the
    // next token boundary of the exact parse, at most kLookAhead - 1 further.
    static constexpr uint32_t kBlockPositions = 1u << 18;

    // Sends the tokens for every position the finder has left.
    void Run(CLzssMatchFinder& finder, CLzssTokenWriter& writer);

private:
    // What the parse knows of position j of a block: the way to reach it
    // (its cost from the block's start, and the length of the token that ends
    // there), and what starts there (the finder's match and the byte).
    struct Position {
        uint32_t cost;
        int32_t source;  // the match's source position
        uint8_t length;  // the match's length; below kMinMatch: none
        uint8_t byte;
        uint8_t last;  // the token that reaches this position: 1 a literal, else a match's length
        uint8_t next;  // once chosen: the token that starts here, as last
    };

    uint32_t ReadBlock(CLzssMatchFinder& finder);
    void WriteBlock(uint32_t end, CLzssTokenWriter& writer);

    Position block[kBlockPositions + kLookAhead];
};
