#include "tools/kwz/pe/ResourceTree.h"

#include "tools/kwz/pe/PeFormat.h"

#include "base/KwoException.h"

#include <algorithm>
#include <set>

using namespace Pe;

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
constexpr size_t kTableHeaderSize = 16;
constexpr size_t kEntrySize = 8;
constexpr size_t kDataEntrySize = 16;
constexpr uint64_t kDataAlignment = 8;

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

char16_t FoldCase(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// Writes a tree into a fresh section image in the documented layout: a first
// pass places every table, string, data entry and data block, a second one
// writes them.
class CSectionBuilder {
public:
    CSectionBuilder(const CResourceTree& tree_, uint32_t rva_) : tree(tree_), rva(rva_) {}

    std::string Build()
    {
        Place();
        // Room for padding to any file alignment (at most 64 KiB), so that
        // the caller pads without copying the section again.
        out.reserve(static_cast<size_t>(AlignUp(end, 0x10000)));
        out.assign(static_cast<size_t>(end), '\0');
        WriteTable(0, tree.table, tree.types.size(), [&](size_t t) {
            return Entry{tree.types[t].type, typeString[t], typeTable[t] | kHighBit};
        });
        for (size_t t = 0; t < tree.types.size(); ++t) {
            const CResourceType& type = tree.types[t];
            WriteTable(typeTable[t], type.table, type.names.size(), [&](size_t n) {
                return Entry{type.names[n].name, nameString[t][n], nameTable[t][n] | kHighBit};
            });
            for (size_t n = 0; n < type.names.size(); ++n) {
                const CResourceName& name = type.names[n];
                WriteTable(nameTable[t][n], name.table, name.languages.size(), [&](size_t l) {
                    return Entry{name.languages[l].language, languageString[t][n][l], leaf[t][n][l]};
                });
                for (size_t l = 0; l < name.languages.size(); ++l)
                    WriteLeaf(leaf[t][n][l], data[t][n][l], name.languages[l]);
            }
        }
        for (const auto& s : strings)
            WriteString(s.first, *s.second);
        return std::move(out);
    }

private:
    struct Entry {
        const CResourceId& id;
        uint64_t stringOffset;
        uint64_t target;
    };

    static uint64_t TableSize(size_t entries) { return kTableHeaderSize + kEntrySize * entries; }

    uint64_t PlaceString(const CResourceId& id)
    {
        if (!id.named)
            return 0;
        const uint64_t at = cursor;
        strings.emplace_back(at, &id.name);
        cursor += 2 + 2ull * id.name.size();
        return at;
    }

    void Place()
    {
        // Directory tables in pre-order.
        cursor = TableSize(tree.types.size());
        for (const CResourceType& type : tree.types) {
            typeTable.push_back(cursor);
            cursor += TableSize(type.names.size());
            nameTable.emplace_back();
            for (const CResourceName& name : type.names) {
                nameTable.back().push_back(cursor);
                cursor += TableSize(name.languages.size());
            }
        }
        // Name strings in the same order, packed.
        size_t leafCount = 0;
        for (const CResourceType& type : tree.types) {
            typeString.push_back(PlaceString(type.type));
            nameString.emplace_back();
            languageString.emplace_back();
            for (const CResourceName& name : type.names) {
                nameString.back().push_back(PlaceString(name.name));
                languageString.back().emplace_back();
                for (const CResourceData& d : name.languages)
                    languageString.back().back().push_back(PlaceString(d.language));
                leafCount += name.languages.size();
            }
        }
        // Data entries, then the data, each on an 8-byte boundary.
        uint64_t leafCursor = AlignUp(cursor, kDataAlignment);
        cursor = leafCursor + kDataEntrySize * leafCount;
        for (const CResourceType& type : tree.types) {
            leaf.emplace_back();
            data.emplace_back();
            for (const CResourceName& name : type.names) {
                leaf.back().emplace_back();
                data.back().emplace_back();
                for (const CResourceData& d : name.languages) {
                    leaf.back().back().push_back(leafCursor);
                    leafCursor += kDataEntrySize;
                    cursor = AlignUp(cursor, kDataAlignment);
                    data.back().back().push_back(cursor);
                    cursor += d.bytes.size();
                }
            }
        }
        end = AlignUp(cursor, kDataAlignment);
        if (end + rva > 0xFFFFFFFFull)
            ThrowError("PeError", "the resources are too large for a 32-bit program", 0, 0);
    }

    template <typename F>
    void WriteTable(uint64_t at, const CResourceTableInfo& info, size_t count, F entryAt)
    {
        size_t named = 0;
        for (size_t i = 0; i < count; ++i)
            named += entryAt(i).id.named ? 1 : 0;
        const size_t o = static_cast<size_t>(at);
        Put32(out, o, info.characteristics);
        Put32(out, o + 4, info.timeDateStamp);
        Put16(out, o + 8, info.majorVersion);
        Put16(out, o + 10, info.minorVersion);
        Put16(out, o + 12, static_cast<uint32_t>(named));
        Put16(out, o + 14, static_cast<uint32_t>(count - named));
        for (size_t i = 0; i < count; ++i) {
            const Entry e = entryAt(i);
            const size_t p = o + kTableHeaderSize + kEntrySize * i;
            Put32(out, p, e.id.named ? static_cast<uint32_t>(e.stringOffset) | kHighBit : e.id.number);
            Put32(out, p + 4, static_cast<uint32_t>(e.target));
        }
    }

    void WriteString(uint64_t at, const std::u16string& text)
    {
        const size_t o = static_cast<size_t>(at);
        Put16(out, o, static_cast<uint32_t>(text.size()));
        for (size_t i = 0; i < text.size(); ++i)
            Put16(out, o + 2 + 2 * i, text[i]);
    }

    void WriteLeaf(uint64_t at, uint64_t dataAt, const CResourceData& d)
    {
        const size_t o = static_cast<size_t>(at);
        Put32(out, o, static_cast<uint32_t>(rva + dataAt));
        Put32(out, o + 4, static_cast<uint32_t>(d.bytes.size()));
        Put32(out, o + 8, d.codePage);
        Put32(out, o + 12, d.reserved);
        std::copy(d.bytes.begin(), d.bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(dataAt));
    }

    const CResourceTree& tree;
    const uint32_t rva;
    std::string out;
    uint64_t cursor = 0;
    uint64_t end = 0;
    std::vector<uint64_t> typeTable, typeString;
    std::vector<std::vector<uint64_t>> nameTable, nameString;
    std::vector<std::vector<std::vector<uint64_t>>> languageString, leaf, data;
    std::vector<std::pair<uint64_t, const std::u16string*>> strings;
};

template <typename T, typename GetId>
typename std::vector<T>::iterator FindOrInsert(std::vector<T>& list, const CResourceId& id, GetId getId)
{
    auto it = list.begin();
    for (; it != list.end(); ++it) {
        const int order = CompareResourceIds(getId(*it), id);
        if (order == 0 && getId(*it) == id)
            return it;
        if (order > 0)
            break;
    }
    T fresh;
    getId(fresh) = id;
    return list.insert(it, std::move(fresh));
}

}  // namespace

CResourceId CResourceId::Number(uint32_t number)
{
    CResourceId id;
    id.number = number;
    return id;
}

CResourceId CResourceId::Name(const std::string& ascii)
{
    CResourceId id;
    id.named = true;
    for (char c : ascii)
        id.name += static_cast<char16_t>(static_cast<unsigned char>(c));
    return id;
}

bool CResourceId::operator==(const CResourceId& other) const
{
    return named == other.named && (named ? name == other.name : number == other.number);
}

std::string CResourceId::Describe() const
{
    if (!named)
        return std::to_string(number);
    std::string text = "\"";
    for (char16_t c : name)
        text += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    return text + "\"";
}

int CompareResourceIds(const CResourceId& a, const CResourceId& b)
{
    if (a.named != b.named)
        return a.named ? -1 : 1;
    if (!a.named)
        return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    const size_t common = std::min(a.name.size(), b.name.size());
    for (size_t i = 0; i < common; ++i) {
        const char16_t x = FoldCase(a.name[i]);
        const char16_t y = FoldCase(b.name[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.name.size() < b.name.size() ? -1 : (a.name.size() > b.name.size() ? 1 : 0);
}

bool CResourceTableInfo::operator==(const CResourceTableInfo& o) const
{
    return characteristics == o.characteristics && timeDateStamp == o.timeDateStamp &&
           majorVersion == o.majorVersion && minorVersion == o.minorVersion;
}

bool CResourceData::operator==(const CResourceData& o) const
{
    return language == o.language && codePage == o.codePage && reserved == o.reserved && bytes == o.bytes;
}

bool CResourceName::operator==(const CResourceName& o) const
{
    return name == o.name && table == o.table && languages == o.languages;
}

bool CResourceType::operator==(const CResourceType& o) const
{
    return type == o.type && table == o.table && names == o.names;
}

bool CResourceTree::operator==(const CResourceTree& o) const
{
    return table == o.table && types == o.types;
}

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

std::string BuildResourceSection(const CResourceTree& tree, uint32_t rva)
{
    return CSectionBuilder(tree, rva).Build();
}

void SetResource(CResourceTree& tree, const CResourceId& type, const CResourceId& name, CResourceData data)
{
    auto t = FindOrInsert(tree.types, type, [](CResourceType& x) -> CResourceId& { return x.type; });
    auto n = FindOrInsert(t->names, name, [](CResourceName& x) -> CResourceId& { return x.name; });
    n->languages.clear();
    n->languages.push_back(std::move(data));
}

const CResourceData* FindResource(const CResourceTree& tree, const CResourceId& type, const CResourceId& name)
{
    for (const CResourceType& t : tree.types) {
        if (t.type != type)
            continue;
        for (const CResourceName& n : t.names) {
            if (n.name != name || n.languages.empty())
                continue;
            for (const CResourceData& d : n.languages)
                if (!d.language.named && d.language.number == 0)
                    return &d;
            return &n.languages.front();
        }
    }
    return nullptr;
}
