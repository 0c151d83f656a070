// Format and algorithm notes.
//
// Prices. Every token of the format has a fixed width: a literal 9 bits, a
// match 29 bits whatever its source and its length (4 to 131). A stream's
// size is the sum of its tokens' prices, plus the end token and the fill
// bits, which every parse pays alike. So the smallest stream is the cheapest
// path from the first byte to the last, with a step of 9 bits over one byte
// or of 29 bits over the bytes of a match.
//
// Why the longest match at each position is enough. A match of length k from
// source p is also a match of every length from 4 to k from p: its first
// bytes are the same copy, even where it runs into the bytes it produces, and
// the source and the price stay the same. So the matches that start at
// position i end exactly at i + 4 ... i + L(i), where L(i) is the longest
// match at i (cut to the bytes left); a shorter match from another source
// ends nowhere else and costs no less. The finder gives L(i) at every
// position, over every source the format allows there (1 to 2,097,021
// positions back, never position 0); a shortened match keeps its source, so
// it stays one of them. The cheapest path over these steps is therefore the
// smallest stream this format can express with those sources.
//
// One pass. Let C(j) be the least cost of the first j bytes of a block. C
// never falls as j grows: the last step of the cheapest way to j + 1 is a
// literal (then C(j) is 9 less), a match of 5 bytes or more (one byte
// shorter, it reaches j at the same cost) or a match of 4 (three literals
// reach j for 2 bits less). Hence among the matches that can end at j, the
// one that starts earliest is the cheapest, and
//     C(j) = min(C(j - 1) + 9, C(s) + 29)
// for the smallest s with s + 4 <= j <= s + L(s). That s only moves forward
// as j grows (a match that falls short of j falls short of every later
// position), so one cursor finds it: constant work per position on top of
// the finder's walk, which the exact parse makes as well.
//
// Blocks. The records of one block are kept at a time (kBlockPositions, 3 MiB
// in all). A block ends only where the exact parse ends a token too, so the
// exact parse is one of the paths within each block and the stream is never
// larger than the exact encoder's. Forcing a token boundary there costs at
// most about one match per block: the cheapest path that would have crossed
// it goes on from the boundary instead.
#include "archive/LzssSmallestParse.h"

namespace {

constexpr uint32_t kLiteralPrice = CLzssTokenWriter::kLiteralBits;
constexpr uint32_t kMatchPrice = CLzssTokenWriter::kMatchBits;

static_assert(kLookAhead <= UINT8_MAX, "a token's length is kept in a byte");

}  // namespace

void CLzssSmallestParse::Run(CLzssMatchFinder& finder, CLzssTokenWriter& writer)
{
    while (finder.Left() > 0)
        WriteBlock(ReadBlock(finder), writer);
}

// Walks the finder through one block, finding the cheapest way to each of its
// positions; returns the count of positions read.
uint32_t CLzssSmallestParse::ReadBlock(CLzssMatchFinder& finder)
{
    block[0].cost = 0;
    uint32_t exactEnd = 0;  // where the exact parse's token that covers j ends
    uint32_t source = 0;    // the earliest position whose match may still reach j
    for (uint32_t j = 1;; ++j) {
        // What starts at j - 1.
        Position& from = block[j - 1];
        const LzssMatch& match = finder.Match();
        from.source = match.position;
        from.length = static_cast<uint8_t>(match.length);
        from.byte = finder.Byte();
        if (exactEnd == j - 1)
            exactEnd += match.length > kBreakEven ? match.length : 1;
        finder.Advance();

        // The cheapest way to j; a match wins a tie, being one token.
        Position& to = block[j];
        to.cost = from.cost + kLiteralPrice;
        to.last = 1;
        while (source + kMinMatch <= j && (block[source].length < kMinMatch || source + block[source].length < j))
            ++source;
        if (source + kMinMatch <= j && block[source].cost + kMatchPrice <= to.cost) {
            to.cost = block[source].cost + kMatchPrice;
            to.last = static_cast<uint8_t>(j - source);
        }

        if (finder.Left() == 0 || (j >= kBlockPositions && j == exactEnd))
            return j;
    }
}

// Follows the cheapest way back from end, then sends its tokens in order.
void CLzssSmallestParse::WriteBlock(uint32_t end, CLzssTokenWriter& writer)
{
    for (uint32_t j = end; j > 0;) {
        const uint8_t length = block[j].last;
        j -= length;
        block[j].next = length;
    }
    for (uint32_t j = 0; j < end; j += block[j].next) {
        const Position& at = block[j];
        if (at.next == 1)
            writer.Literal(at.byte);
        else
            writer.Match(static_cast<uint32_t>(at.source), at.next);
    }
}
