#include "bench/baseline/BaselineLzssCodec.h"

#include "bench/baseline/BaselineBitFile.h"

#include <cstring>
#include <istream>
#include <ostream>

CBaselineLzssCodec::CBaselineLzssCodec()
{
    // Cleared like CLzssCodec's window, so that both see the same bytes past
    // the end of a short input and make the same choices there.
    std::memset(window, 0, sizeof window);
    std::memset(nodes, 0, sizeof nodes);
}

CBaselineLzssCodec::~CBaselineLzssCodec() = default;

std::string CBaselineLzssCodec::GetName()
{
    return "LZSS encoder/decoder (baseline)";
}

void CBaselineLzssCodec::Decode(std::istream& input, std::ostream& output, ProgressCallback callback,
                                void* context, uint32_t stride)
{
    CBaselineBitReader reader(input, callback, context, stride);
    uint32_t current = 1;
    for (;;) {
        if (reader.ReadBit()) {
            const uint8_t byte = static_cast<uint8_t>(reader.ReadBits(8));
            output.put(static_cast<char>(byte));
            window[current] = byte;
            current = (current + 1) & kPositionMask;
            continue;
        }
        const uint32_t position = reader.ReadBits(kWindowBits);
        if (position == 0)
            return;
        const uint32_t length = reader.ReadBits(kLengthBits) + kMinMatch;
        for (uint32_t i = 0; i < length; ++i) {
            const uint8_t byte = window[(position + i) & kPositionMask];
            output.put(static_cast<char>(byte));
            window[current] = byte;
            current = (current + 1) & kPositionMask;
        }
    }
}

void CBaselineLzssCodec::Encode(std::istream& input, std::ostream& output, ProgressCallback callback,
                                void* context, uint32_t stride)
{
    CBaselineBitWriter writer(output, callback, context, stride);
    uint32_t lookAhead = 0;
    while (lookAhead < kLookAhead) {
        const int c = input.get();
        if (!input)
            break;
        window[1 + lookAhead] = static_cast<uint8_t>(c);
        ++lookAhead;
    }
    ResetTree(1);
    uint32_t current = 1;
    uint32_t matchLength = 0;
    int32_t matchPosition = 0;
    while (lookAhead > 0) {
        if (matchLength > lookAhead)
            matchLength = lookAhead;
        uint32_t steps;
        if (matchLength <= kBreakEven) {
            writer.WriteBit(1);
            writer.WriteBits(window[current], 8);
            steps = 1;
        } else {
            writer.WriteBit(0);
            writer.WriteBits(static_cast<uint32_t>(matchPosition), kWindowBits);
            writer.WriteBits(matchLength - kMinMatch, kLengthBits);
            steps = matchLength;
        }
        for (uint32_t i = 0; i < steps; ++i) {
            const uint32_t incoming = (current + kLookAhead) & kPositionMask;
            RemovePosition(static_cast<int32_t>(incoming));
            const int c = input.get();
            if (!input)
                --lookAhead;
            else
                window[incoming] = static_cast<uint8_t>(c);
            current = (current + 1) & kPositionMask;
            if (lookAhead != 0)
                matchLength = InsertAndMatch(static_cast<int32_t>(current), matchPosition);
        }
    }
    writer.WriteBit(0);
    writer.WriteBits(0, kWindowBits);
}

void CBaselineLzssCodec::ResetTree(int32_t position)
{
    nodes[kRootEntry].larger = position;
    nodes[position].parent = kRootEntry;
    nodes[position].smaller = kNoNode;
    nodes[position].larger = kNoNode;
}

uint32_t CBaselineLzssCodec::InsertAndMatch(int32_t position, int32_t& matchPosition)
{
    if (position == 0)
        return 0;
    int32_t test = nodes[kRootEntry].larger;
    uint32_t best = 0;
    for (;;) {
        uint32_t i = 0;
        int delta = 0;
        for (; i < kLookAhead; ++i) {
            delta = window[(position + i) & kPositionMask] - window[(test + i) & kPositionMask];
            if (delta != 0)
                break;
        }
        if (i >= best) {
            best = i;
            matchPosition = test;
            if (i == kLookAhead) {
                SubstituteNode(test, position);
                return kLookAhead;
            }
        }
        int32_t& link = delta > 0 ? nodes[test].larger : nodes[test].smaller;
        if (link == kNoNode) {
            link = position;
            nodes[position].parent = test;
            nodes[position].smaller = kNoNode;
            nodes[position].larger = kNoNode;
            return best;
        }
        test = link;
    }
}

int32_t& CBaselineLzssCodec::LinkTo(int32_t node)
{
    MatchNode& parent = nodes[nodes[node].parent];
    return parent.larger == node ? parent.larger : parent.smaller;
}

void CBaselineLzssCodec::LiftChild(int32_t oldNode, int32_t newNode)
{
    if (newNode != kNoNode)
        nodes[newNode].parent = nodes[oldNode].parent;
    LinkTo(oldNode) = newNode;
    nodes[oldNode].parent = kNoNode;
}

void CBaselineLzssCodec::SubstituteNode(int32_t oldNode, int32_t newNode)
{
    LinkTo(oldNode) = newNode;
    nodes[newNode] = nodes[oldNode];
    if (nodes[newNode].smaller != kNoNode)
        nodes[nodes[newNode].smaller].parent = newNode;
    if (nodes[newNode].larger != kNoNode)
        nodes[nodes[newNode].larger].parent = newNode;
    nodes[oldNode].parent = kNoNode;
}

int32_t CBaselineLzssCodec::FindPredecessor(int32_t node) const
{
    int32_t next = nodes[node].smaller;
    while (nodes[next].larger != kNoNode)
        next = nodes[next].larger;
    return next;
}

void CBaselineLzssCodec::RemovePosition(int32_t position)
{
    if (nodes[position].parent == kNoNode)
        return;
    if (nodes[position].larger == kNoNode) {
        LiftChild(position, nodes[position].smaller);
    } else if (nodes[position].smaller == kNoNode) {
        LiftChild(position, nodes[position].larger);
    } else {
        const int32_t predecessor = FindPredecessor(position);
        RemovePosition(predecessor);
        SubstituteNode(position, predecessor);
    }
}
