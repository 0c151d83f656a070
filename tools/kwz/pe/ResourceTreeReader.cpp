// Reading a resource tree out of a PE image, every read checked.
#include "tools/kwz/pe/ResourceTree.h"

#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/ResourceTreeLayout.h"

#include <set>

using namespace Pe;
using namespace ResourceLayout;

namespace {

enum Level { kTypeLevel, kNameLevel, kLanguageLevel };

struct CRawEntry {
    CResourceId id;
    bool isTable;
    uint32_t target;  // offset of the subtable or of the data entry
};

// Walks the tree with every read checked against the file-backed part of the
// section that holds the resource directory. With extents, it records where
// everything lies instead of copying the data.
class CTreeReader {
public:
    CTreeReader(const CPeImage& image_, std::vector<CRvaRange>* extents_) : image(image_), extents(extents_)
    {
        const CPeDirectory dir = image.Directory(kDirResource);
        rootRva = dir.address;
        const int index = image.SectionAt(rootRva);
        size_t offset = 0;
        if (index < 0 || !image.MapRva(rootRva, 1, offset))
            image.Refuse("damaged resources (the resource directory lies outside the file)");
        const CPeSection& s = image.Sections()[static_cast<size_t>(index)];
        base = offset;
        limit = s.FileBackedSize() - (rootRva - s.virtualAddress);
    }

    CResourceTree Read()
    {
        CResourceTree tree;
        std::vector<CRawEntry> types;
        tree.table = ReadTable(0, kTypeLevel, types);
        for (const CRawEntry& t : types) {
            CResourceType type;
            type.type = t.id;
            std::vector<CRawEntry> names;
            type.table = ReadTable(t.target, kNameLevel, names);
            for (const CRawEntry& n : names) {
                CResourceName name;
                name.name = n.id;
                std::vector<CRawEntry> languages;
                name.table = ReadTable(n.target, kLanguageLevel, languages);
                for (const CRawEntry& l : languages)
                    name.languages.push_back(ReadData(l));
                type.names.push_back(std::move(name));
            }
            tree.types.push_back(std::move(type));
        }
        return tree;
    }

private:
    const std::string& Bytes() const { return image.Bytes(); }

    void Need(uint64_t offset, uint64_t size, const char* what) const
    {
        if (!Fits(offset, size, limit))
            image.Refuse(std::string("damaged resources (") + what + " lies outside the resource section)");
    }

    void Note(uint64_t offset, uint64_t size)
    {
        if (extents != nullptr && size != 0)
            extents->push_back({static_cast<uint32_t>(rootRva + offset), static_cast<uint32_t>(size)});
    }

    CResourceTableInfo ReadTable(uint32_t offset, Level level, std::vector<CRawEntry>& entries)
    {
        if (!visited.insert(offset).second)
            image.Refuse("damaged resources (the resource tree loops: a directory is reached twice)");
        Need(offset, kTableHeaderSize, "a resource directory table");
        const size_t at = base + offset;
        CResourceTableInfo info;
        info.characteristics = Get32(Bytes(), at);
        info.timeDateStamp = Get32(Bytes(), at + 4);
        info.majorVersion = Get16(Bytes(), at + 8);
        info.minorVersion = Get16(Bytes(), at + 10);
        const uint32_t namedCount = Get16(Bytes(), at + 12);
        const uint32_t count = namedCount + Get16(Bytes(), at + 14);
        Need(offset, kTableHeaderSize + kEntrySize * static_cast<uint64_t>(count), "a resource directory table");
        Note(offset, kTableHeaderSize + kEntrySize * count);

        for (uint32_t i = 0; i < count; ++i) {
            const size_t entry = at + kTableHeaderSize + kEntrySize * i;
            const uint32_t nameField = Get32(Bytes(), entry);
            const uint32_t targetField = Get32(Bytes(), entry + 4);
            if (((nameField & kHighBit) != 0) != (i < namedCount))
                image.Refuse("damaged resources (named and numbered entries out of order)");
            CRawEntry raw;
            raw.id = (nameField & kHighBit) != 0 ? ReadName(nameField & ~kHighBit) : CResourceId::Number(nameField);
            raw.isTable = (targetField & kHighBit) != 0;
            raw.target = targetField & ~kHighBit;
            if (raw.isTable && level == kLanguageLevel)
                image.Refuse("unsupported resources (the tree is deeper than type, name and language)");
            if (!raw.isTable && level != kLanguageLevel)
                image.Refuse("unsupported resources (the tree is shallower than type, name and language)");
            entries.push_back(std::move(raw));
        }
        return info;
    }

    CResourceId ReadName(uint32_t offset)
    {
        Need(offset, 2, "a resource name");
        const uint32_t length = Get16(Bytes(), base + offset);
        Need(offset, 2 + 2ull * length, "a resource name");
        Note(offset, 2 + 2ull * length);
        CResourceId id;
        id.named = true;
        id.name.resize(length);
        for (uint32_t i = 0; i < length; ++i)
            id.name[i] = static_cast<char16_t>(Get16(Bytes(), base + offset + 2 + 2 * i));
        return id;
    }

    CResourceData ReadData(const CRawEntry& entry)
    {
        Need(entry.target, kDataEntrySize, "a resource data entry");
        Note(entry.target, kDataEntrySize);
        const size_t at = base + entry.target;
        const uint32_t rva = Get32(Bytes(), at);
        const uint32_t size = Get32(Bytes(), at + 4);
        CResourceData data;
        data.language = entry.id;
        data.codePage = Get32(Bytes(), at + 8);
        data.reserved = Get32(Bytes(), at + 12);
        if (size == 0)
            return data;
        size_t offset = 0;
        if (!image.MapRva(rva, size, offset))
            image.Refuse("damaged resources (resource data lies outside the file)");
        // Entries may share data, but never so much that copies could
        // outgrow the file many times over.
        dataTotal += size;
        if (dataTotal > Bytes().size())
            image.Refuse("damaged resources (the resource data entries overlap)");
        if (extents != nullptr)
            extents->push_back({rva, size});
        else
            data.bytes.assign(Bytes(), offset, size);
        return data;
    }

    const CPeImage& image;
    std::vector<CRvaRange>* extents;
    uint32_t rootRva = 0;
    size_t base = 0;
    uint64_t limit = 0;
    uint64_t dataTotal = 0;
    std::set<uint32_t> visited;
};

}  // namespace

CResourceTree ReadResourceTree(const CPeImage& image)
{
    if (image.Directory(kDirResource).address == 0)
        return CResourceTree();
    return CTreeReader(image, nullptr).Read();
}

std::vector<CRvaRange> ResourceTreeExtents(const CPeImage& image)
{
    std::vector<CRvaRange> extents;
    if (image.Directory(kDirResource).address != 0)
        CTreeReader(image, &extents).Read();
    return extents;
}

