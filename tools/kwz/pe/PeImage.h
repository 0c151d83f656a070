// A PE file (PE32 or PE32+) held in memory, its headers parsed and checked. The bytes
// are untrusted: the constructor checks every header offset and size against
// the file before anything relies on it, and later reads go through the
// bounds-checked helpers below. Nothing here uses the Win32 API.
#pragma once

#include "tools/kwz/pe/PeFormat.h"

#include <cstdint>
#include <string>
#include <vector>

struct CPeSection {
    std::string name;  // the 8 name bytes, trailing NULs removed
    size_t headerOffset = 0;
    uint32_t virtualSize = 0;
    uint32_t virtualAddress = 0;
    uint32_t sizeOfRawData = 0;
    uint32_t pointerToRawData = 0;
    uint32_t characteristics = 0;

    // Bytes the section occupies in memory before alignment.
    uint32_t MappedSize() const { return virtualSize != 0 ? virtualSize : sizeOfRawData; }
    // Bytes of the mapped range that come from the file; the rest is zero fill.
    uint32_t FileBackedSize() const { return sizeOfRawData < MappedSize() ? sizeOfRawData : MappedSize(); }
    uint64_t RawEnd() const { return static_cast<uint64_t>(pointerToRawData) + sizeOfRawData; }
    bool Contains(uint32_t rva) const { return rva >= virtualAddress && rva - virtualAddress < MappedSize(); }
};

struct CPeDirectory {
    uint32_t address = 0;  // an RVA, but a file offset for the certificate table
    uint32_t size = 0;
    bool Empty() const { return address == 0 && size == 0; }
};

class CPeImage {
public:
    // Parses bytes; raises "PeError" with a message naming displayName when
    // they are not a PE32 or PE32+ file whose headers hold together.
    CPeImage(std::string bytes, std::string displayName);

    const std::string& Bytes() const { return bytes; }
    const std::string& DisplayName() const { return displayName; }

    size_t FileHeaderOffset() const { return fileHeader; }
    const Pe::COptionalLayout& Layout() const { return *layout; }
    bool IsPe32Plus() const { return layout->magic == Pe::kMagicPe32Plus; }
    uint16_t Machine() const { return machine; }
    uint16_t Characteristics() const { return characteristics; }
    size_t OptionalHeaderOffset() const { return optionalHeader; }
    size_t SectionTableOffset() const { return sectionTable; }
    size_t DirectoryOffset(int index) const;  // of the 8-byte slot; needs HasDirectory
    size_t ChecksumOffset() const;

    uint32_t FileAlignment() const { return fileAlignment; }
    uint32_t SectionAlignment() const { return sectionAlignment; }
    uint32_t SizeOfHeaders() const { return sizeOfHeaders; }
    uint32_t SizeOfImage() const { return sizeOfImage; }
    uint32_t EntryPoint() const { return entryPoint; }
    uint32_t PointerToSymbolTable() const { return symbolTable; }

    const std::vector<CPeSection>& Sections() const { return sections; }
    // Index of the section whose mapped range holds rva, or -1.
    int SectionAt(uint32_t rva) const;
    // End of the last section's raw data (at least SizeOfHeaders): the overlay starts here.
    uint64_t RawDataEnd() const { return rawDataEnd; }
    // End of the last section in memory, before alignment.
    uint64_t MappedEnd() const;

    bool HasDirectory(int index) const { return index >= 0 && static_cast<uint32_t>(index) < directoryCount; }
    CPeDirectory Directory(int index) const;

    // File offset of the size bytes at rva, when they all lie in the file
    // backed part of one section. False otherwise.
    bool MapRva(uint32_t rva, uint32_t size, size_t& offset) const;

    // Raises "PeError" with "DISPLAYNAME: text".
    [[noreturn]] void Refuse(const std::string& text) const;

private:
    void ParseHeaders();
    void ParseSections();

    std::string bytes;
    std::string displayName;
    size_t fileHeader = 0;
    size_t optionalHeader = 0;
    size_t sectionTable = 0;
    const Pe::COptionalLayout* layout = &Pe::kPe32Layout;
    uint16_t machine = 0;
    uint16_t characteristics = 0;
    uint32_t fileAlignment = 0;
    uint32_t sectionAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t sizeOfImage = 0;
    uint32_t entryPoint = 0;
    uint32_t symbolTable = 0;
    uint32_t directoryCount = 0;
    uint64_t rawDataEnd = 0;
    std::vector<CPeSection> sections;
};

// True when bytes start like a Windows program ("MZ").
bool LooksLikePeFile(const std::string& bytes);
