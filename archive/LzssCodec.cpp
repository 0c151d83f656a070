#include "archive/LzssCodec.h"

#include "archive/BitFile.h"

#include <cstring>
#include <istream>
#include <ostream>

namespace {

// The decoder reads the widths that the token writer writes.
constexpr int kLiteralBits = CLzssTokenWriter::kLiteralBits;
constexpr uint32_t kLiteralFlag = CLzssTokenWriter::kLiteralFlag;

// At each token boundary the longest match, unless it is not worth its bits.
void ParseExact(CLzssMatchFinder& finder, CLzssTokenWriter& writer)
{
    while (finder.Left() > 0) {
        const LzssMatch match = finder.Match();
        uint32_t stepCount = 1;
        if (match.length <= kBreakEven) {
            writer.Literal(finder.Byte());
        } else {
            writer.Match(static_cast<uint32_t>(match.position), match.length);
            stepCount = match.length;
        }
        for (; stepCount > 0; --stepCount)
            finder.Advance();
    }
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
    EncodeWith(input, output, callback, context, stride, ParseExact);
}
