#include "tools/kwz/pe/PeImage.h"

#include "tools/kwz/pe/PeFormat.h"

#include "base/KwoException.h"

#include <algorithm>
#include <cstdio>

using namespace Pe;

namespace {

bool IsPowerOfTwo(uint32_t v)
{
    return v != 0 && (v & (v - 1)) == 0;
}

// A section name fit for a message: printable ASCII only.
std::string PrintableName(const std::string& raw)
{
    std::string name;
    for (char c : raw)
        name += (c >= 0x20 && c < 0x7F) ? c : '?';
    return name.empty() ? "(unnamed)" : name;
}

}  // namespace

bool LooksLikePeFile(const std::string& bytes)
{
    return bytes.size() >= 2 && bytes[0] == 'M' && bytes[1] == 'Z';
}

CPeImage::CPeImage(std::string bytes_, std::string displayName_)
    : bytes(std::move(bytes_)), displayName(std::move(displayName_))
{
    ParseHeaders();
    ParseSections();
}

void CPeImage::Refuse(const std::string& text) const
{
    ThrowError("PeError", (displayName + ": " + text).c_str(), 0, 0);
}

void CPeImage::ParseHeaders()
{
    const uint64_t size = bytes.size();
    if (size < kDosHeaderSize || !LooksLikePeFile(bytes))
        Refuse("not a Windows program (no MZ header)");
    const uint32_t peOffset = Get32(bytes, kPeOffsetField);
    if (!Fits(peOffset, kSignatureSize + kFileHeaderSize, size) || bytes.compare(peOffset, 4, "PE\0\0", 4) != 0)
        Refuse("not a Windows program (no PE header)");
    fileHeader = peOffset + kSignatureSize;
    optionalHeader = fileHeader + kFileHeaderSize;

    machine = Get16(bytes, fileHeader + kFhMachine);
    characteristics = Get16(bytes, fileHeader + kFhCharacteristics);
    const uint32_t optionalSize = Get16(bytes, fileHeader + kFhSizeOfOptionalHeader);
    if (optionalSize < 2 || !Fits(optionalHeader, 2, size))
        Refuse("truncated or damaged PE header (no optional header)");
    const uint16_t magic = Get16(bytes, optionalHeader);
    layout = LayoutFor(magic);
    if (layout == nullptr) {
        char text[80];
        std::snprintf(text, sizeof text, "not a Windows program (optional header magic 0x%04X)", magic);
        Refuse(text);
    }
    if (optionalSize < layout->dataDirectories || !Fits(optionalHeader, optionalSize, size))
        Refuse("truncated or damaged PE header (optional header too short)");
    if ((characteristics & kFileExecutableImage) == 0)
        Refuse("not an executable image");

    directoryCount = Get32(bytes, optionalHeader + layout->numberOfRvaAndSizes);
    if (directoryCount > kMaxDataDirectories ||
        layout->dataDirectories + 8ull * directoryCount > optionalSize)
        Refuse("damaged PE header (data directories do not fit the optional header)");

    fileAlignment = Get32(bytes, optionalHeader + kOhFileAlignment);
    sectionAlignment = Get32(bytes, optionalHeader + kOhSectionAlignment);
    if (!IsPowerOfTwo(fileAlignment) || !IsPowerOfTwo(sectionAlignment) || fileAlignment > 0x10000 ||
        fileAlignment > sectionAlignment || (fileAlignment < 512 && fileAlignment != sectionAlignment))
        Refuse("damaged PE header (invalid file or section alignment)");

    sizeOfHeaders = Get32(bytes, optionalHeader + kOhSizeOfHeaders);
    sizeOfImage = Get32(bytes, optionalHeader + kOhSizeOfImage);
    entryPoint = Get32(bytes, optionalHeader + kOhAddressOfEntryPoint);
    symbolTable = Get32(bytes, fileHeader + kFhPointerToSymbolTable);
    if (sizeOfHeaders > size)
        Refuse("truncated (the headers end past the end of the file)");

    sectionTable = optionalHeader + optionalSize;
    const uint32_t count = Get16(bytes, fileHeader + kFhNumberOfSections);
    if (count == 0 || count > kMaxSections)
        Refuse("damaged PE header (" + std::to_string(count) + " sections)");
    if (!Fits(sectionTable, kSectionHeaderSize * count, sizeOfHeaders))
        Refuse("damaged PE header (the section table lies outside the headers)");
    sections.resize(count);
}

void CPeImage::ParseSections()
{
    const uint64_t size = bytes.size();
    uint64_t previousEnd = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        CPeSection& s = sections[i];
        s.headerOffset = sectionTable + i * kSectionHeaderSize;
        s.name = bytes.substr(s.headerOffset, 8);
        s.name.erase(std::find(s.name.begin(), s.name.end(), '\0'), s.name.end());
        s.virtualSize = Get32(bytes, s.headerOffset + kShVirtualSize);
        s.virtualAddress = Get32(bytes, s.headerOffset + kShVirtualAddress);
        s.sizeOfRawData = Get32(bytes, s.headerOffset + kShSizeOfRawData);
        s.pointerToRawData = Get32(bytes, s.headerOffset + kShPointerToRawData);
        s.characteristics = Get32(bytes, s.headerOffset + kShCharacteristics);
        const std::string label = "section " + PrintableName(s.name);

        if (s.sizeOfRawData == 0)
            s.pointerToRawData = 0;  // ignored by the loader; keep it out of the file layout
        else if (!Fits(s.pointerToRawData, s.sizeOfRawData, size))
            Refuse("truncated (" + label + " lies past the end of the file)");
        else if (s.pointerToRawData < sizeOfHeaders)
            Refuse("damaged PE header (" + label + " overlaps the headers)");

        const uint64_t mappedEnd = static_cast<uint64_t>(s.virtualAddress) + s.MappedSize();
        if (s.virtualAddress < previousEnd || s.virtualAddress < sizeOfHeaders)
            Refuse("damaged PE header (" + label + " is out of address order or overlaps another)");
        if (mappedEnd > sizeOfImage)
            Refuse("damaged PE header (" + label + " ends past the image size)");
        previousEnd = mappedEnd;
    }

    // Raw data of different sections must not share file bytes.
    std::vector<const CPeSection*> byFile;
    for (const CPeSection& s : sections)
        if (s.sizeOfRawData != 0)
            byFile.push_back(&s);
    std::sort(byFile.begin(), byFile.end(),
              [](const CPeSection* a, const CPeSection* b) { return a->pointerToRawData < b->pointerToRawData; });
    rawDataEnd = sizeOfHeaders;
    for (const CPeSection* s : byFile) {
        if (s->pointerToRawData < rawDataEnd)
            Refuse("damaged PE header (section " + PrintableName(s->name) + " shares file bytes with another)");
        rawDataEnd = std::max<uint64_t>(rawDataEnd, s->RawEnd());
    }
}

size_t CPeImage::DirectoryOffset(int index) const
{
    return optionalHeader + layout->dataDirectories + 8 * static_cast<size_t>(index);
}

size_t CPeImage::ChecksumOffset() const
{
    return optionalHeader + kOhCheckSum;
}

CPeDirectory CPeImage::Directory(int index) const
{
    CPeDirectory d;
    if (HasDirectory(index)) {
        d.address = Get32(bytes, DirectoryOffset(index));
        d.size = Get32(bytes, DirectoryOffset(index) + 4);
    }
    return d;
}

int CPeImage::SectionAt(uint32_t rva) const
{
    for (size_t i = 0; i < sections.size(); ++i)
        if (sections[i].Contains(rva))
            return static_cast<int>(i);
    return -1;
}

uint64_t CPeImage::MappedEnd() const
{
    const CPeSection& last = sections.back();
    return static_cast<uint64_t>(last.virtualAddress) + last.MappedSize();
}

bool CPeImage::MapRva(uint32_t rva, uint32_t size, size_t& offset) const
{
    const int index = SectionAt(rva);
    if (index < 0)
        return false;
    const CPeSection& s = sections[static_cast<size_t>(index)];
    if (!Fits(rva - s.virtualAddress, size, s.FileBackedSize()))
        return false;
    offset = static_cast<size_t>(s.pointerToRawData) + (rva - s.virtualAddress);
    return true;
}
