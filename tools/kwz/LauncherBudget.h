// What a launcher can extract: the memory of its worker at its peak, held
// against the address space of the stub's architecture.
//
// At the peak of an extraction the launcher holds, all at once:
//   the mapped program    its SizeOfImage, the payload resource included;
//   the payload copy      the payload's bytes, which the decoder reads;
//   the codec             27,262,988 bytes (window and match tree);
//   the decoded image     in one block that the launcher reserves when the
//                         decode starts and never moves (app/MemoryStreams).
// A 32-bit launcher has 2 GiB of address space, or 4 GiB when it is
// large-address-aware and runs on 64-bit Windows. kwz leaves 512 MiB of it
// to Windows itself (its DLLs, the thread stacks, the heaps and the gaps
// between them), and takes the image's block to be at most 1.5 GiB: the
// system DLLs of a 32-bit process lie below 2 GiB, in the middle of a
// large-address-aware one's space. A 64-bit launcher has address space to
// spare; its limits are the format's: an image of at most 4 GiB - 1 bytes
// and a program below 2 GiB (what the stamper writes and Windows maps).
#pragma once

#include <cstdint>
#include <string>

class CPeImage;

struct CLauncherBudget {
    bool pe32Plus = false;
    bool largeAddressAware = false;

    // The stub's kind as the messages name it: "x86 launcher (not
    // large-address-aware)", "x64 launcher".
    std::string Describe() const;
    // The largest decoded image that a launcher of this kind extracts when
    // its program maps programSize bytes and carries payloadSize bytes.
    uint64_t LargestImage(uint64_t programSize, uint64_t payloadSize) const;
    // Raises "BudgetError" when the launcher cannot extract an image of
    // imageSize bytes (at least that many, when atLeast) from this program
    // and payload: "cannot stamp WHAT: " and the figures, the limit, the
    // assumption and the way out.
    void Check(const std::string& what, uint64_t programSize, uint64_t payloadSize, uint64_t imageSize,
               bool atLeast) const;
};

CLauncherBudget BudgetOf(const CPeImage& stub);
// A 32-bit launcher that is not large-address-aware: the stub that packing
// warns about when no stub is known yet.
CLauncherBudget SmallestBudget();

// The fewest image bytes that a payload of payloadSize bytes can decode to:
// a literal, 9 bits for one byte, is the least productive token.
uint64_t SmallestImageOf(uint64_t payloadSize);
// The fewest payload bytes that an image of imageSize bytes can encode to:
// the longest match, 29 bits for 131 bytes, is the most productive token.
uint64_t SmallestPayloadOf(uint64_t imageSize);

// Programs from 2 GiB on are refused: the stamper does not write them.
constexpr uint64_t kLargestProgram = 0x80000000ull;
