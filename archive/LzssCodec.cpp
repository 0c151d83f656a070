#include "archive/LzssCodec.h"

#include "archive/BitFile.h"
#include "base/KwoException.h"

#include <cstring>
#include <istream>
#include <ostream>

namespace {

constexpr int kMatchBits = 1 + kWindowBits + kLengthBits;  // flag 0, position, length code
constexpr int kEndBits = 1 + kWindowBits;                  // flag 0, position 0
constexpr int kLiteralBits = 1 + 8;                        // flag 1, byte
constexpr uint32_t kLiteralFlag = 1u << 8;

// Reads the next input byte into byte. False at the end of the input; any
// other failure to read raises, so that an unreadable input is not encoded
// as a shorter one.
bool ReadInput(std::istream& input, uint8_t& byte)
{
    const int c = CBitFileStreamIo::Get(input);
    if (c >= 0) {
        byte = static_cast<uint8_t>(c);
        return true;
    }
    if (input.bad() || !input.eof())
        ThrowError("BitFileError", "Unable to read from a stream.", 0, 0);
    return false;
}

}  // namespace

CCodec::~CCodec() = default;

CLzssCodec::CLzssCodec()
{
    std::memset(window, 0, sizeof window);
}

CLzssCodec::~CLzssCodec() = default;

std::string CLzssCodec::GetName()
{
    return "LZSS encoder/decoder";
}

void CLzssCodec::Decode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                        uint32_t stride)
{
    CBitFileReader reader(input, callback, context, stride);
    uint32_t current = 1;
    for (;;) {
        // Every token has at least nine bits: the flag and either the byte of
        // a literal or the high eight bits of a position.
        const uint32_t head = reader.ReadBits(kLiteralBits);
        if ((head & kLiteralFlag) != 0) {
            const uint8_t byte = static_cast<uint8_t>(head);
            window[current] = byte;
            current = (current + 1) & kPositionMask;
            CBitFileStreamIo::Put(output, byte);
            continue;
        }
        const uint32_t position = (head << (kWindowBits - 8)) | reader.ReadBits(kWindowBits - 8);
        if (position == 0)
            return;
        const uint32_t length = reader.ReadBits(kLengthBits) + kMinMatch;
        CopyMatch(position, length, current, output);
    }
}

// Copies length bytes from position to current, one at a time in effect, so
// that a source running into the bytes being produced repeats them; then
// writes them to the output.
void CLzssCodec::CopyMatch(uint32_t position, uint32_t length, uint32_t& current, std::ostream& output)
{
    if (position + length > kWindowSize || current + length > kWindowSize) {
        for (uint32_t i = 0; i < length; ++i) {
            const uint8_t byte = window[(position + i) & kPositionMask];
            window[current] = byte;
            current = (current + 1) & kPositionMask;
            CBitFileStreamIo::Put(output, byte);
        }
        return;
    }
    uint8_t* to = window + current;
    const uint8_t* from = window + position;
    if (position < current && current - position < length) {
        for (uint32_t i = 0; i < length; ++i)
            to[i] = from[i];
    } else {
        // Disjoint, or the source ahead of the target: a forward copy reads
        // every byte before it is overwritten, as memmove does.
        std::memmove(to, from, length);
    }
    CBitFileStreamIo::Put(output, to, static_cast<int>(length));
    current = (current + length) & kPositionMask;
}

void CLzssCodec::Encode(std::istream& input, std::ostream& output, ProgressCallback callback, void* context,
                        uint32_t stride)
{
    CBitFileWriter writer(output, callback, context, stride);
    tree.Clear();

    uint32_t lookAhead = 0;
    bool atEnd = false;
    while (lookAhead < kLookAhead && !atEnd) {
        if (ReadInput(input, window[1 + lookAhead]))
            ++lookAhead;
        else
            atEnd = true;
    }
    tree.Reset(1);
    uint32_t current = 1;
    uint32_t matchLength = 0;
    int32_t matchPosition = 0;

    // Steps are made by the tree in groups, as far ahead as there are steps:
    // one follows as long as the look-ahead is not empty. Their input bytes
    // are therefore read a few steps before the tokens in between are written.
    LzssStep steps[CLzssMatchTree::kGroupSize];
    LzssMatch matches[CLzssMatchTree::kGroupSize];
    uint32_t lookAheadAfter[CLzssMatchTree::kGroupSize];
    uint32_t queued = 0;
    uint32_t next = 0;

    while (lookAhead > 0) {
        if (matchLength > lookAhead)
            matchLength = lookAhead;
        uint32_t stepCount;
        if (matchLength <= kBreakEven) {
            writer.WriteBits(kLiteralFlag | window[current], kLiteralBits);
            stepCount = 1;
        } else {
            const uint32_t code = matchLength - kMinMatch;
            writer.WriteBits(static_cast<uint32_t>(matchPosition) << kLengthBits | code, kMatchBits);
            stepCount = matchLength;
        }
        for (; stepCount > 0; --stepCount) {
            if (next == queued) {
                queued = 0;
                next = 0;
                uint32_t ahead = lookAhead;
                uint32_t position = current;
                while (queued < CLzssMatchTree::kGroupSize && ahead > 0) {
                    LzssStep& step = steps[queued];
                    position = (position + 1) & kPositionMask;
                    uint8_t byte = 0;
                    if (!atEnd && ReadInput(input, byte)) {
                        step.incoming = byte;
                    } else {
                        atEnd = true;
                        step.incoming = -1;
                        --ahead;
                    }
                    step.position = position;
                    step.search = ahead != 0;
                    lookAheadAfter[queued++] = ahead;
                }
                tree.Steps(window, steps, queued, matches);
            }
            const uint32_t i = next++;
            current = steps[i].position;
            lookAhead = lookAheadAfter[i];
            if (steps[i].search) {
                matchLength = matches[i].length;
                // Position 0 is not searched and leaves the match position.
                if (current != 0)
                    matchPosition = matches[i].position;
            }
        }
    }
    writer.WriteBits(0, kEndBits);
}
