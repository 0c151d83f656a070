// Hand-made PE files (PE32, or PE32+ with magic set so) for the tests: a DOS header, the PE headers and
// the given sections laid out one after the other, with every field a test
// may want to spoil at a known place. The programs do not run; they only need
// to look like the files linkers write.
#pragma once

#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/ResourceTree.h"

#include <cstdint>
#include <string>
#include <vector>

namespace PeTest {

struct CSection {
    std::string name;
    std::string raw;           // the file bytes, padded to the file alignment when built
    uint32_t virtualSize = 0;  // 0: the size of raw
    uint32_t characteristics = Pe::kScnInitializedData | Pe::kScnMemRead;
};

class CBuilder {
public:
    static constexpr uint32_t kFileAlignment = 0x200;
    static constexpr uint32_t kSectionAlignment = 0x1000;
    static constexpr uint32_t kPeOffset = 0x80;
    static constexpr uint32_t kOptionalHeader = kPeOffset + 4 + 20;

    std::vector<CSection> sections;
    uint32_t directories[16][2] = {};
    std::string overlay;               // bytes after the last section
    uint32_t headerSize = 0x400;
    uint16_t magic = Pe::kMagicPe32;
    uint16_t machine = 0;                // 0: the one that goes with magic
    uint16_t characteristics = 0x0102;  // executable, 32-bit words
    uint32_t pointerToSymbolTable = 0;
    uint32_t entryPoint = 0;

    // RVA of section index, as Build will place it.
    uint32_t Rva(size_t index) const
    {
        uint64_t rva = kSectionAlignment;
        for (size_t i = 0; i < index; ++i)
            rva = Pe::AlignUp(rva + MappedSize(sections[i]), kSectionAlignment);
        return static_cast<uint32_t>(rva);
    }

    // File offset of section index's raw data, as Build will place it.
    uint32_t RawOffset(size_t index) const
    {
        uint64_t at = headerSize;
        for (size_t i = 0; i < index; ++i)
            at += Pe::AlignUp(sections[i].raw.size(), kFileAlignment);
        return static_cast<uint32_t>(at);
    }

    uint32_t OverlayOffset() const { return RawOffset(sections.size()); }

    // Section index as the resource directory, its whole size.
    void SetResourceSection(size_t index)
    {
        directories[Pe::kDirResource][0] = Rva(index);
        directories[Pe::kDirResource][1] = MappedSize(sections[index]);
    }

    std::string Build() const
    {
        std::string file(headerSize, '\0');
        file[0] = 'M';
        file[1] = 'Z';
        Pe::Put32(file, Pe::kPeOffsetField, kPeOffset);
        file.replace(kPeOffset, 4, std::string("PE\0\0", 4));
        const size_t fh = kPeOffset + 4;
        Pe::Put16(file, fh + Pe::kFhMachine, machine != 0 ? machine : Layout().machine);
        Pe::Put16(file, fh + Pe::kFhNumberOfSections, static_cast<uint32_t>(sections.size()));
        Pe::Put32(file, fh + Pe::kFhPointerToSymbolTable, pointerToSymbolTable);
        Pe::Put16(file, fh + Pe::kFhSizeOfOptionalHeader, static_cast<uint32_t>(OptionalSize()));
        Pe::Put16(file, fh + Pe::kFhCharacteristics, characteristics);
        const size_t oh = kOptionalHeader;
        Pe::Put16(file, oh, magic);
        Pe::Put32(file, oh + Pe::kOhAddressOfEntryPoint, entryPoint);
        Pe::Put32(file, oh + Pe::kOhSectionAlignment, kSectionAlignment);
        Pe::Put32(file, oh + Pe::kOhFileAlignment, kFileAlignment);
        Pe::Put32(file, oh + Pe::kOhSizeOfImage, Rva(sections.size()));
        Pe::Put32(file, oh + Pe::kOhSizeOfHeaders, headerSize);
        Pe::Put32(file, oh + Layout().numberOfRvaAndSizes, 16);
        for (int i = 0; i < 16; ++i) {
            Pe::Put32(file, DirectoryField(i), directories[i][0]);
            Pe::Put32(file, DirectoryField(i) + 4, directories[i][1]);
        }
        for (size_t i = 0; i < sections.size(); ++i) {
            const CSection& s = sections[i];
            const size_t h = SectionField(i, 0);
            file.replace(h, s.name.size() < 8 ? s.name.size() : 8, s.name.substr(0, 8));
            const uint32_t raw = static_cast<uint32_t>(Pe::AlignUp(s.raw.size(), kFileAlignment));
            Pe::Put32(file, h + Pe::kShVirtualSize, MappedSize(s));
            Pe::Put32(file, h + Pe::kShVirtualAddress, Rva(i));
            Pe::Put32(file, h + Pe::kShSizeOfRawData, raw);
            Pe::Put32(file, h + Pe::kShPointerToRawData, raw != 0 ? RawOffset(i) : 0);
            Pe::Put32(file, h + Pe::kShCharacteristics, s.characteristics);
        }
        for (const CSection& s : sections) {
            file += s.raw;
            file.resize(static_cast<size_t>(Pe::AlignUp(file.size(), kFileAlignment)), '\0');
        }
        return file + overlay;
    }

    const Pe::COptionalLayout& Layout() const { return magic == Pe::kMagicPe32Plus ? Pe::kPe32PlusLayout : Pe::kPe32Layout; }
    // The optional header with its 16 directories: 224 bytes, 240 in PE32+.
    size_t OptionalSize() const { return Layout().dataDirectories + 16 * 8; }
    // Offset of a field of section index's header.
    size_t SectionField(size_t index, size_t field) const
    {
        return kOptionalHeader + OptionalSize() + Pe::kSectionHeaderSize * index + field;
    }
    size_t DirectoryField(int index) const { return kOptionalHeader + Layout().dataDirectories + 8 * static_cast<size_t>(index); }

private:
    static uint32_t MappedSize(const CSection& s)
    {
        return s.virtualSize != 0 ? s.virtualSize : static_cast<uint32_t>(s.raw.size());
    }
};

inline CResourceData Data(uint32_t language, const std::string& bytes)
{
    CResourceData d;
    d.language = CResourceId::Number(language);
    d.bytes = bytes;
    return d;
}

// A tree of one resource: type, name 1, the neutral language.
inline CResourceTree TreeOf(uint32_t type, const std::string& bytes)
{
    CResourceTree tree;
    SetResource(tree, CResourceId::Number(type), CResourceId::Number(1), Data(0, bytes));
    return tree;
}

}  // namespace PeTest
