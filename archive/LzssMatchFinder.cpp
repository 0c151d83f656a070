#include "archive/LzssMatchFinder.h"

#include "archive/BitFileStreamIo.h"
#include "base/KwoException.h"

#include <istream>

CLzssMatchFinder::CLzssMatchFinder(uint8_t* window_, CLzssMatchTree& tree_, std::istream& input_)
    : window(window_), tree(tree_), input(input_)
{
    tree.Clear();
    while (left < kLookAhead && Read(window[1 + left]))
        ++left;
    tree.Reset(1);
}

// False at the end of the input; any other failure to read raises, so that
// an unreadable input is not encoded as a shorter one. Once at the end, every
// later read is at the end too.
bool CLzssMatchFinder::Read(uint8_t& byte)
{
    if (atEnd)
        return false;
    const int c = CBitFileStreamIo::Get(input);
    if (c >= 0) {
        byte = static_cast<uint8_t>(c);
        return true;
    }
    if (input.bad() || !input.eof())
        ThrowError("BitFileError", "Unable to read from a stream.", 0, 0);
    atEnd = true;
    return false;
}

// One step follows another as long as bytes are left after it; each reads the
// byte for its position + kLookAhead - 1, or loses one byte of look-ahead at
// the end of the input.
void CLzssMatchFinder::Refill()
{
    queued = 0;
    next = 0;
    uint32_t ahead = left;
    uint32_t position = current;
    while (queued < CLzssMatchTree::kGroupSize && ahead > 0) {
        LzssStep& step = steps[queued];
        position = (position + 1) & kPositionMask;
        uint8_t byte = 0;
        if (Read(byte)) {
            step.incoming = byte;
        } else {
            step.incoming = -1;
            --ahead;
        }
        step.position = position;
        step.search = ahead != 0;
        leftAfter[queued++] = ahead;
    }
    tree.Steps(window, steps, queued, matches);
}
