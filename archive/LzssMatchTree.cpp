#include "archive/LzssMatchTree.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "keys are compared as little-endian words");

// Removals this many steps ahead have their loads started early.
constexpr uint32_t kRemovalLead = 8;

// Set in the links of a node while it must not be passed (no position
// reaches bit 31).
constexpr int32_t kLeavingMark = INT32_MIN;

uint64_t LoadWord(const uint8_t* bytes)
{
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

// Compares key (kLookAhead bytes) with the key of the node at window
// position node: returns the count of equal leading bytes, at most
// kLookAhead, and sets larger to whether the first differing byte of key is
// the greater one. Words are compared as little-endian loads; byte-swapped,
// they order as the bytes do.
inline uint32_t Compare(const uint8_t* key, const uint8_t* window, uint32_t node, int& larger)
{
    if (node <= kWindowSize - kLookAhead) {
        const uint8_t* other = window + node;
        for (uint32_t i = 0; i + 8 <= kLookAhead; i += 8) {
            const uint64_t a = LoadWord(key + i);
            const uint64_t b = LoadWord(other + i);
            if (a != b) {
                larger = __builtin_bswap64(a) > __builtin_bswap64(b) ? 1 : 0;
                return i + static_cast<uint32_t>(__builtin_ctzll(a ^ b)) / 8;
            }
        }
        // The last bytes, in a word that ends with the key; its first bytes
        // are known to be equal.
        constexpr uint32_t last = kLookAhead - 8;
        const uint64_t a = LoadWord(key + last);
        const uint64_t b = LoadWord(other + last);
        if (a != b) {
            larger = __builtin_bswap64(a) > __builtin_bswap64(b) ? 1 : 0;
            return last + static_cast<uint32_t>(__builtin_ctzll(a ^ b)) / 8;
        }
        return kLookAhead;
    }
    // The node's key runs past the end of the window.
    for (uint32_t i = 0; i < kLookAhead; ++i) {
        const uint8_t b = window[(node + i) & kPositionMask];
        if (key[i] != b) {
            larger = key[i] > b ? 1 : 0;
            return i;
        }
    }
    return kLookAhead;
}

}  // namespace

// A walk in progress. The key is a copy, so that a walk can run before the
// bytes of the steps ahead of it have reached the window.
struct CLzssMatchTree::Walk {
    uint64_t head;       // the first 8 bytes of the key, as loaded
    uint64_t headOrder;  // the same, byte-swapped to compare in key order
    int32_t node;        // node to compare next; kNoNode once the walk has ended
    uint32_t best;       // longest common prefix so far
    int32_t bestNode;    // deepest node that has it
    int32_t leaving;     // negative: passed the oldest position of a later step
    int32_t endNode;     // where the walk ended
    int endLink;         // the empty link of endNode (0 smaller, 1 larger), -1 for an equal key
    uint32_t position;
    int32_t replaced;    // the node the position replaced, kNoNode if none
    uint8_t key[kLookAhead];
};

void CLzssMatchTree::Clear()
{
    std::memset(parents, 0, sizeof parents);
}

void CLzssMatchTree::Reset(int32_t position)
{
    links[kRootEntry & kPositionMask][1] = position;
    parents[position] = kRootEntry;
    links[position][0] = kNoNode;
    links[position][1] = kNoNode;
}

void CLzssMatchTree::Steps(uint8_t* window, const LzssStep* steps, uint32_t count, LzssMatch* matches)
{
    // Step i's oldest position, oldest + i, holds the byte that step reads.
    const uint32_t oldest = (steps[0].position + kLookAhead - 1) & kPositionMask;
    // A removal a few steps from now reads its node's parent, changes the
    // parents of its children and may look for its predecessor below the
    // smaller child: those loads start now.
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t later = (oldest + i + kRemovalLead) & kPositionMask;
        const int32_t parent = parents[later];
        if (parent == kNoNode)
            continue;
        const int32_t* children = links[later];
        __builtin_prefetch(links[parent & kPositionMask]);
        __builtin_prefetch(links[children[0]]);
        __builtin_prefetch(&parents[children[0]]);
        __builtin_prefetch(&parents[children[1]]);
    }

    Remove(static_cast<int32_t>(oldest));
    if (steps[0].incoming >= 0)
        window[oldest] = static_cast<uint8_t>(steps[0].incoming);

    // Every walk on the tree as it is now, one level of each in turn so that
    // their loads overlap. The oldest positions of the later steps are still
    // in the tree; a walk that passes one that has to leave before its own
    // step is made again in Finish. Their links carry kLeavingMark meanwhile,
    // so that a walk notices at no cost.
    for (uint32_t j = 1; j < count; ++j)
        MarkLeaving(static_cast<int32_t>((oldest + j) & kPositionMask), kLeavingMark);
    Walk walks[kGroupSize];
    uint32_t active = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Walk& walk = walks[i];
        walk.node = kNoNode;
        walk.replaced = kNoNode;
        const uint32_t position = steps[i].position;
        if (!steps[i].search || position == 0)
            continue;
        walk.position = position;
        if (position <= kWindowSize - kLookAhead) {
            std::memcpy(walk.key, window + position, kLookAhead);
        } else {
            for (uint32_t k = 0; k < kLookAhead; ++k)
                walk.key[k] = window[(position + k) & kPositionMask];
        }
        // The bytes of steps 1 to i end the key (offset kLookAhead - 1 - i + j).
        for (uint32_t j = 1; j <= i; ++j)
            if (steps[j].incoming >= 0)
                walk.key[kLookAhead - 1 - i + j] = static_cast<uint8_t>(steps[j].incoming);
        walk.head = LoadWord(walk.key);
        walk.headOrder = __builtin_bswap64(walk.head);
        walk.node = links[kRootEntry & kPositionMask][1];
        walk.best = 0;
        walk.bestNode = kNoNode;
        walk.leaving = 0;
        ++active;
    }
    while (active > 0) {
        active = 0;
        for (uint32_t i = 0; i < count; ++i) {
            if (walks[i].node == kNoNode)
                continue;
            Advance(window, walks[i]);
            if (walks[i].node != kNoNode)
                ++active;
        }
    }

    for (uint32_t j = 1; j < count; ++j)
        MarkLeaving(static_cast<int32_t>((oldest + j) & kPositionMask), 0);

    // Then the steps in order, each as if it were alone.
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) {
            const uint32_t leaving = (oldest + i) & kPositionMask;
            Remove(static_cast<int32_t>(leaving));
            if (steps[i].incoming >= 0)
                window[leaving] = static_cast<uint8_t>(steps[i].incoming);
        }
        if (!steps[i].search)
            continue;
        if (steps[i].position == 0)
            matches[i] = LzssMatch{0, kNoNode};
        else
            Finish(window, walks[i], i, walks, matches[i]);
    }
}

// One level of a walk on the tree as it was when the group began. The
// node's links and key were fetched a round before, when it was chosen;
// the next node's are fetched now, to be ready for the next round.
inline void CLzssMatchTree::Advance(const uint8_t* window, Walk& walk)
{
    const int32_t node = walk.node;
    const uint32_t at = static_cast<uint32_t>(node);
    uint32_t equal;
    int larger = 0;
    uint64_t word;
    if (__builtin_expect(at <= kWindowSize - 8 && (word = LoadWord(window + at)) != walk.head, 1)) {
        // Most keys differ within their first word.
        equal = static_cast<uint32_t>(__builtin_ctzll(walk.head ^ word)) / 8;
        larger = walk.headOrder > __builtin_bswap64(word) ? 1 : 0;
    } else {
        equal = Compare(walk.key, window, at, larger);
        if (equal == kLookAhead) {
            walk.best = equal;
            walk.bestNode = node;
            walk.leaving |= links[node][0];
            walk.endNode = node;
            walk.endLink = -1;
            walk.node = kNoNode;
            return;
        }
    }
    // Branch-free: whether a node beats the best so far is a coin toss.
    const uint32_t better = 0u - static_cast<uint32_t>(equal >= walk.best);
    walk.best ^= (walk.best ^ equal) & better;
    walk.bestNode ^= (walk.bestNode ^ node) & static_cast<int32_t>(better);
    const int32_t link = links[node][larger];
    walk.leaving |= link;
    const int32_t next = link & ~kLeavingMark;
    walk.node = next;
    if (next == kNoNode) {
        walk.endNode = node;
        walk.endLink = larger;
        return;
    }
    __builtin_prefetch(links[next]);
    __builtin_prefetch(window + next);
}

// Turns the walk of step index into the one a walk made now would have been,
// and links its position in. The tree now differs from the one the walk saw
// by the steps before it: their oldest positions have left, their positions
// have been linked in as leaves or have replaced nodes with equal keys.
void CLzssMatchTree::Finish(uint8_t* window, Walk& walk, uint32_t index, const Walk* walks, LzssMatch& match)
{
    if (walk.leaving < 0) {
        // A node it passed may have left the tree since (rare: the oldest
        // positions lie deep).
        walk.best = 0;
        walk.bestNode = kNoNode;
        Search(window, walk, links[kRootEntry & kPositionMask][1]);
    } else {
        // A replaced node is the same key under another position; the path
        // is unchanged but for the names of those nodes.
        for (uint32_t j = 0; j < index; ++j) {
            const int32_t gone = walks[j].replaced;
            if (gone == kNoNode)
                continue;
            if (walk.bestNode == gone)
                walk.bestNode = static_cast<int32_t>(walks[j].position);
            if (walk.endNode == gone)
                walk.endNode = static_cast<int32_t>(walks[j].position);
        }
        const int32_t position = static_cast<int32_t>(walk.position);
        if (walk.endLink < 0) {
            SubstituteNode(walk.endNode, position);
            walk.replaced = walk.endNode;
        } else {
            int32_t& link = links[walk.endNode][walk.endLink];
            if (link == kNoNode) {
                link = position;
                parents[position] = walk.endNode;
                links[position][0] = kNoNode;
                links[position][1] = kNoNode;
            } else {
                // A step before linked its position in where this walk ended.
                Search(window, walk, link);
            }
        }
    }
    match = LzssMatch{walk.best, walk.bestNode};
}

void CLzssMatchTree::MarkLeaving(int32_t position, int32_t mark)
{
    if (parents[position] == kNoNode)
        return;
    links[position][0] = (links[position][0] & ~kLeavingMark) | mark;
    links[position][1] = (links[position][1] & ~kLeavingMark) | mark;
}

// Walks on from node on the tree as it is and links the position in.
void CLzssMatchTree::Search(const uint8_t* window, Walk& walk, int32_t node)
{
    const int32_t position = static_cast<int32_t>(walk.position);
    for (;;) {
        int32_t* children = links[node];
        __builtin_prefetch(links[children[0]]);
        __builtin_prefetch(links[children[1]]);
        __builtin_prefetch(window + children[0]);
        __builtin_prefetch(window + children[1]);
        int larger = 0;
        const uint32_t equal = Compare(walk.key, window, static_cast<uint32_t>(node), larger);
        if (equal >= walk.best) {
            walk.best = equal;
            walk.bestNode = node;
        }
        if (equal == kLookAhead) {
            SubstituteNode(node, position);
            walk.replaced = node;
            return;
        }
        if (children[larger] == kNoNode) {
            children[larger] = position;
            parents[position] = node;
            links[position][0] = kNoNode;
            links[position][1] = kNoNode;
            return;
        }
        node = children[larger];
    }
}

// The link of node's parent that points to node (the root holder's link for
// the top node).
int32_t& CLzssMatchTree::LinkTo(int32_t node)
{
    int32_t* parentLinks = links[parents[node] & kPositionMask];
    return parentLinks[1] == node ? parentLinks[1] : parentLinks[0];
}

void CLzssMatchTree::LiftChild(int32_t oldNode, int32_t newNode)
{
    if (newNode != kNoNode)
        parents[newNode] = parents[oldNode];
    LinkTo(oldNode) = newNode;
    parents[oldNode] = kNoNode;
}

void CLzssMatchTree::SubstituteNode(int32_t oldNode, int32_t newNode)
{
    LinkTo(oldNode) = newNode;
    parents[newNode] = parents[oldNode];
    links[newNode][0] = links[oldNode][0];
    links[newNode][1] = links[oldNode][1];
    if (links[newNode][0] != kNoNode)
        parents[links[newNode][0]] = newNode;
    if (links[newNode][1] != kNoNode)
        parents[links[newNode][1]] = newNode;
    parents[oldNode] = kNoNode;
}

void CLzssMatchTree::Remove(int32_t position)
{
    if (parents[position] == kNoNode)
        return;
    const int32_t smaller = links[position][0];
    const int32_t larger = links[position][1];
    if (larger == kNoNode) {
        LiftChild(position, smaller);
    } else if (smaller == kNoNode) {
        LiftChild(position, larger);
    } else {
        // The predecessor, the largest key below this one, has no larger
        // child: it is lifted out and takes this node's place.
        int32_t predecessor = smaller;
        while (links[predecessor][1] != kNoNode)
            predecessor = links[predecessor][1];
        LiftChild(predecessor, links[predecessor][0]);
        SubstituteNode(position, predecessor);
    }
}
