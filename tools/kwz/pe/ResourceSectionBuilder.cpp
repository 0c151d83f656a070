// Writing a resource tree into the bytes of a fresh resource section.
#include "tools/kwz/pe/ResourceTree.h"

#include "tools/kwz/pe/PeFormat.h"
#include "tools/kwz/pe/ResourceTreeLayout.h"

#include "base/KwoException.h"

#include <algorithm>

using namespace Pe;
using namespace ResourceLayout;

namespace {

// Where the builder put one node of the tree: its name string (0 for a
// number) and its directory table, or for a language its data entry and data.
struct CPlacedLanguage {
    uint64_t string = 0;
    uint64_t entry = 0;
    uint64_t data = 0;
};

struct CPlacedName {
    uint64_t string = 0;
    uint64_t table = 0;
    std::vector<CPlacedLanguage> languages;
};

struct CPlacedType {
    uint64_t string = 0;
    uint64_t table = 0;
    std::vector<CPlacedName> names;
};

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
            return Entry{tree.types[t].type, placed[t].string, placed[t].table | kHighBit};
        });
        for (size_t t = 0; t < tree.types.size(); ++t) {
            const CResourceType& type = tree.types[t];
            const CPlacedType& placedType = placed[t];
            WriteTable(placedType.table, type.table, type.names.size(), [&](size_t n) {
                return Entry{type.names[n].name, placedType.names[n].string, placedType.names[n].table | kHighBit};
            });
            for (size_t n = 0; n < type.names.size(); ++n) {
                const CResourceName& name = type.names[n];
                const CPlacedName& placedName = placedType.names[n];
                WriteTable(placedName.table, name.table, name.languages.size(), [&](size_t l) {
                    return Entry{name.languages[l].language, placedName.languages[l].string,
                                 placedName.languages[l].entry};
                });
                for (size_t l = 0; l < name.languages.size(); ++l)
                    WriteLeaf(placedName.languages[l], name.languages[l]);
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
        placed.resize(tree.types.size());
        // Directory tables in pre-order.
        cursor = TableSize(tree.types.size());
        for (size_t t = 0; t < tree.types.size(); ++t) {
            const CResourceType& type = tree.types[t];
            placed[t].table = cursor;
            cursor += TableSize(type.names.size());
            placed[t].names.resize(type.names.size());
            for (size_t n = 0; n < type.names.size(); ++n) {
                placed[t].names[n].table = cursor;
                cursor += TableSize(type.names[n].languages.size());
            }
        }
        // Name strings in the same order, packed.
        size_t leafCount = 0;
        for (size_t t = 0; t < tree.types.size(); ++t) {
            placed[t].string = PlaceString(tree.types[t].type);
            for (size_t n = 0; n < tree.types[t].names.size(); ++n) {
                const CResourceName& name = tree.types[t].names[n];
                CPlacedName& placedName = placed[t].names[n];
                placedName.string = PlaceString(name.name);
                placedName.languages.resize(name.languages.size());
                for (size_t l = 0; l < name.languages.size(); ++l)
                    placedName.languages[l].string = PlaceString(name.languages[l].language);
                leafCount += name.languages.size();
            }
        }
        // Data entries, then the data, each on an 8-byte boundary.
        uint64_t entryCursor = AlignUp(cursor, kDataAlignment);
        cursor = entryCursor + kDataEntrySize * leafCount;
        for (size_t t = 0; t < tree.types.size(); ++t) {
            for (size_t n = 0; n < tree.types[t].names.size(); ++n) {
                const CResourceName& name = tree.types[t].names[n];
                for (size_t l = 0; l < name.languages.size(); ++l) {
                    CPlacedLanguage& leaf = placed[t].names[n].languages[l];
                    leaf.entry = entryCursor;
                    entryCursor += kDataEntrySize;
                    cursor = AlignUp(cursor, kDataAlignment);
                    leaf.data = cursor;
                    cursor += name.languages[l].bytes.size();
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

    void WriteLeaf(const CPlacedLanguage& leaf, const CResourceData& d)
    {
        const size_t o = static_cast<size_t>(leaf.entry);
        Put32(out, o, static_cast<uint32_t>(rva + leaf.data));
        Put32(out, o + 4, static_cast<uint32_t>(d.bytes.size()));
        Put32(out, o + 8, d.codePage);
        Put32(out, o + 12, d.reserved);
        std::copy(d.bytes.begin(), d.bytes.end(), out.begin() + static_cast<std::ptrdiff_t>(leaf.data));
    }

    const CResourceTree& tree;
    const uint32_t rva;
    std::string out;
    uint64_t cursor = 0;
    uint64_t end = 0;
    std::vector<CPlacedType> placed;
    std::vector<std::pair<uint64_t, const std::u16string*>> strings;
};

}  // namespace

std::string BuildResourceSection(const CResourceTree& tree, uint32_t rva)
{
    return CSectionBuilder(tree, rva).Build();
}

