// The encoder's way through its input: one position at a time, each with the
// longest match that the match tree holds for it. Every parse walks every
// position with it, whatever tokens it sends.
//
// The finder keeps the window kLookAhead bytes ahead of the current position
// (the position itself included) and has the tree make its steps in groups,
// as far ahead as there are positions: the input is therefore read a group
// ahead of the position that the parse sees.
#pragma once

#include "archive/LzssConstants.h"
#include "archive/LzssMatchTree.h"

#include <cstdint>
#include <iosfwd>

class CLzssMatchFinder {
public:
    // Forgets what the tree held, reads the first kLookAhead bytes of input
    // into the window from position 1, and makes position 1 current, with no
    // match (nothing lies before it).
    CLzssMatchFinder(uint8_t* window, CLzssMatchTree& tree, std::istream& input);

    CLzssMatchFinder(const CLzssMatchFinder&) = delete;
    CLzssMatchFinder& operator=(const CLzssMatchFinder&) = delete;

    // Input bytes from the current position on (at most kLookAhead): 0 once
    // the last one has been passed.
    uint32_t Left() const { return left; }

    // The byte at the current position.
    uint8_t Byte() const { return window[current]; }

    // The longest match at the current position: a source 1 to kWindowSize -
    // kLookAhead positions back, never position 0, and a length of at most
    // Left(). A length below kMinMatch is no match. Position 0 itself is never
    // searched, so its match has length 0.
    const LzssMatch& Match() const { return match; }

    // Makes the next position current (Left() must be above 0 before).
    void Advance()
    {
        if (next == queued)
            Refill();
        const uint32_t i = next++;
        current = steps[i].position;
        left = leftAfter[i];
        if (steps[i].search) {
            match = matches[i];
            if (match.length > left)
                match.length = left;
        } else {
            match.length = 0;  // the end: no byte is left
        }
    }

private:
    // Reads the bytes of the next group of steps and has the tree make them.
    void Refill();
    // The next input byte, false at the end of the input.
    bool Read(uint8_t& byte);

    uint8_t* window;
    CLzssMatchTree& tree;
    std::istream& input;
    bool atEnd = false;
    uint32_t current = 1;
    uint32_t left = 0;
    LzssMatch match = {0, kNoNode};
    // The group of steps that the tree made last, the ones before next
    // already passed: the tree's step, the match it found, and the bytes left
    // from that position on.
    LzssStep steps[CLzssMatchTree::kGroupSize];
    LzssMatch matches[CLzssMatchTree::kGroupSize];
    uint32_t leftAfter[CLzssMatchTree::kGroupSize];
    uint32_t queued = 0;
    uint32_t next = 0;
};
