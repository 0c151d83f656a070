// Layout of PE files, 32-bit (PE32) and 64-bit (PE32+), as far as the
// resource rewriter needs it.
//
// Format notes. All integers are little-endian and unaligned in the file.
//   DOS header     "MZ" at 0; the offset of the PE signature at 0x3C (32 bits).
//   PE signature   "PE\0\0", followed directly by
//   file header    20 bytes: machine, number of sections, time stamp, symbol
//                  table offset (a file offset), symbol count, size of the
//                  optional header, characteristics.
//   optional hdr   magic 0x10B for PE32, 0x20B for PE32+. PE32 has 96 bytes
//                  of fixed fields; PE32+ widens the image base and the stack
//                  and heap sizes to 64 bits, 112 bytes in all. Every field
//                  kwz reads before them (alignments, sizes, checksum) is at
//                  the same offset in both; NumberOfRvaAndSizes is the last
//                  fixed field, followed by that many data directories of 8
//                  bytes (address, size).
//   section table  right after the optional header, 40 bytes per section:
//                  name (8), VirtualSize, VirtualAddress, SizeOfRawData,
//                  PointerToRawData, two unused pointers and counts,
//                  Characteristics.
// Addresses are RVAs (offsets from the image base once loaded) everywhere but
// in three places, which hold file offsets: the symbol table pointer, the
// certificate table (data directory 4, an Authenticode signature) and the
// PointerToRawData of each debug directory entry. Sections are adjacent and
// ascending in memory; bytes after the last section's raw data (the overlay)
// are not loaded.
//
// The checksum is the 16-bit one's-complement-style sum of the file taken as
// little-endian words (the checksum field counted as zero, an odd last byte as
// a word of its own), folded to 16 bits, plus the file length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Pe {

constexpr size_t kDosHeaderSize = 64;
constexpr size_t kPeOffsetField = 0x3C;
constexpr size_t kSignatureSize = 4;
constexpr size_t kFileHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kMaxSections = 96;  // the Windows loader's own limit

// File header fields, from the start of the file header.
constexpr size_t kFhMachine = 0;
constexpr size_t kFhNumberOfSections = 2;
constexpr size_t kFhPointerToSymbolTable = 8;
constexpr size_t kFhSizeOfOptionalHeader = 16;
constexpr size_t kFhCharacteristics = 18;
constexpr uint16_t kFileExecutableImage = 0x0002;
constexpr uint16_t kFileLargeAddressAware = 0x0020;
constexpr uint16_t kFileDll = 0x2000;
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;

// Optional header fields at the same place in PE32 and PE32+, from the
// start of the optional header.
constexpr uint16_t kMagicPe32 = 0x10B;
constexpr uint16_t kMagicPe32Plus = 0x20B;
constexpr size_t kOhSizeOfInitializedData = 8;
constexpr size_t kOhAddressOfEntryPoint = 16;
constexpr size_t kOhSectionAlignment = 32;
constexpr size_t kOhFileAlignment = 36;
constexpr size_t kOhSizeOfImage = 56;
constexpr size_t kOhSizeOfHeaders = 60;
constexpr size_t kOhCheckSum = 64;
constexpr uint32_t kMaxDataDirectories = 16;

// What differs between the two optional headers, chosen once by the magic.
struct COptionalLayout {
    uint16_t magic;
    uint16_t machine;                // the one machine that kwz accepts with it
    size_t numberOfRvaAndSizes;      // offset of the directory count
    size_t dataDirectories;          // offset of the first directory
    const char* description;
};
constexpr COptionalLayout kPe32Layout = {kMagicPe32, kMachineI386, 92, 96, "32-bit (PE32, x86)"};
constexpr COptionalLayout kPe32PlusLayout = {kMagicPe32Plus, kMachineAmd64, 108, 112, "64-bit (PE32+, x64)"};

// The layout for magic, or null.
inline const COptionalLayout* LayoutFor(uint16_t magic)
{
    return magic == kMagicPe32 ? &kPe32Layout : magic == kMagicPe32Plus ? &kPe32PlusLayout : nullptr;
}

// Data directory indices.
constexpr int kDirResource = 2;
constexpr int kDirCertificate = 4;
constexpr int kDirBaseRelocation = 5;
constexpr int kDirDebug = 6;

// Section header fields, from the start of a section header.
constexpr size_t kShVirtualSize = 8;
constexpr size_t kShVirtualAddress = 12;
constexpr size_t kShSizeOfRawData = 16;
constexpr size_t kShPointerToRawData = 20;
constexpr size_t kShCharacteristics = 36;
constexpr uint32_t kScnCode = 0x00000020;
constexpr uint32_t kScnInitializedData = 0x00000040;
constexpr uint32_t kScnMemExecute = 0x20000000;
constexpr uint32_t kScnMemRead = 0x40000000;

// Debug directory entries: 28 bytes, the file offset of the data at 24.
constexpr size_t kDebugEntrySize = 28;
constexpr size_t kDebugPointerToRawData = 24;

inline uint16_t Get16(const std::string& b, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}

inline uint32_t Get32(const std::string& b, size_t at)
{
    return static_cast<uint32_t>(Get16(b, at)) | static_cast<uint32_t>(Get16(b, at + 2)) << 16;
}

inline void Put16(std::string& b, size_t at, uint32_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& b, size_t at, uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// True when [offset, offset + length) lies within [0, limit); no overflow.
inline bool Fits(uint64_t offset, uint64_t length, uint64_t limit)
{
    return offset <= limit && length <= limit - offset;
}

// value rounded up to a multiple of alignment (a power of two).
inline uint64_t AlignUp(uint64_t value, uint64_t alignment)
{
    return (value + alignment - 1) & ~(alignment - 1);
}

// The checksum of file with the field at checksumOffset taken as zero.
uint32_t ComputeChecksum(const std::string& file, size_t checksumOffset);

}  // namespace Pe
