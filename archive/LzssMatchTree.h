// The encoder's match finder: a binary search tree of ring-buffer positions,
// each keyed by the kLookAhead bytes that start there, compared as unsigned
// bytes. A search for a new position walks from the top to the place of its
// key and links it in there; the deepest node on the way that shares the
// longest prefix with the new key is the match. A node with an equal key is
// replaced by the new position. The oldest position leaves the tree (its
// predecessor takes its place when it has two children) before any byte of
// its key is overwritten.
//
// Speed. A walk is a chain of dependent loads over 24 MiB, one per level, so
// a single walk waits on memory at every level. Steps() therefore runs the
// walks of several consecutive positions side by side on the tree as it is
// before the first of them, and then repairs each one in order so that it
// ends exactly where a walk made after its predecessors would have ended:
// the tree, the matches and the output are those of one walk at a time.
#pragma once

#include "archive/LzssConstants.h"

#include <cstdint>

// The match of one position: the length of the longest common prefix (0 to
// kLookAhead) and the node that has it.
struct LzssMatch {
    uint32_t length;
    int32_t position;
};

// One encoder step: the position that becomes current, the byte read for
// position + kLookAhead - 1 (or -1 at the end of the input, when the window
// keeps its old byte there) and whether the position is searched and linked.
struct LzssStep {
    uint32_t position;
    int32_t incoming;
    bool search;
};

class CLzssMatchTree {
public:
    // Consecutive steps that Steps() takes at once.
    static constexpr uint32_t kGroupSize = 16;

    // Forgets every position (all 8 MiB of membership are cleared).
    void Clear();
    // Makes position the only node.
    void Reset(int32_t position);

    // Runs count (1 to kGroupSize) consecutive steps exactly as one step after
    // the other: for each, the position kLookAhead - 1 ahead of it leaves the
    // tree and receives the incoming byte; a searched position is inserted and
    // its match stored in matches (position 0 is never inserted: its match
    // has length 0).
    void Steps(uint8_t* window, const LzssStep* steps, uint32_t count, LzssMatch* matches);

private:
    struct Walk;

    void Advance(const uint8_t* window, Walk& walk);
    void MarkLeaving(int32_t position, int32_t mark);
    void Finish(uint8_t* window, Walk& walk, uint32_t index, const Walk* walks, LzssMatch& match);
    void Search(const uint8_t* window, Walk& walk, int32_t from);
    void Remove(int32_t position);
    void LiftChild(int32_t oldNode, int32_t newNode);
    void SubstituteNode(int32_t oldNode, int32_t newNode);
    int32_t& LinkTo(int32_t node);

    // links[p][0] is the smaller and links[p][1] the larger child of node p;
    // the parents are kept apart so that a walk, which reads one child per
    // node, touches one 8-byte entry. Entry 0 is never a node: links[0][1]
    // is the root holder's link to the top of the tree, and the top node's
    // parent kRootEntry maps to it by kPositionMask.
    int32_t links[kWindowSize][2];
    int32_t parents[kWindowSize];  // kNoNode: not in the tree
};
