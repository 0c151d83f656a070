#include "tools/kwz/pe/ResourceWriter.h"

#include "tools/kwz/pe/PeFormat.h"

#include "base/KwoException.h"

#include <algorithm>

using namespace Pe;

namespace {

constexpr uint32_t kNewSectionCharacteristics = kScnInitializedData | kScnMemRead;
constexpr uint64_t kMaxImageSize = 0x80000000ull;  // what a 32-bit process could ever map
constexpr uint32_t kRelocationDir64 = 10;

// One change to the input file: bytes [start, end) become zeros zero bytes
// followed by bytes. An insertion has start == end.
struct CEdit {
    uint64_t start;
    uint64_t end;
    uint64_t zeros;
    std::string bytes;
    uint64_t Length() const { return zeros + bytes.size(); }
};

// Where input file offsets land in the output.
class COffsetMap {
public:
    explicit COffsetMap(const std::vector<CEdit>& edits_) : edits(edits_) {}

    // False when offset lies inside replaced bytes.
    bool Map(uint64_t offset, uint64_t& mapped) const
    {
        int64_t shift = 0;
        for (const CEdit& e : edits) {
            if (offset < e.start)
                break;
            if (offset < e.end)
                return false;
            shift += static_cast<int64_t>(e.Length()) - static_cast<int64_t>(e.end - e.start);
        }
        mapped = static_cast<uint64_t>(static_cast<int64_t>(offset) + shift);
        return true;
    }

private:
    const std::vector<CEdit>& edits;
};

bool Overlaps(uint64_t aStart, uint64_t aSize, uint64_t bStart, uint64_t bSize)
{
    return aStart < bStart + bSize && bStart < aStart + aSize;
}

// Calls f(fixupRva, width) for every base relocation: width is 8 for a
// 64-bit address (type 10, DIR64), 4 otherwise. A block of size 0 ends the
// table (some linkers pad it with zeros); any other block that does not fit
// is a refusal, since the fixups it hides could patch the new resources.
template <typename F>
void ForEachFixup(const CPeImage& image, F f)
{
    const CPeDirectory dir = image.Directory(kDirBaseRelocation);
    if (dir.address == 0 || dir.size == 0)
        return;
    size_t at = 0;
    if (!image.MapRva(dir.address, dir.size, at))
        image.Refuse("damaged base relocation table (it lies outside the file)");
    const std::string& b = image.Bytes();
    for (uint64_t pos = 0; pos + 8 <= dir.size;) {
        const uint32_t page = Get32(b, at + pos);
        const uint32_t blockSize = Get32(b, at + pos + 4);
        if (blockSize == 0)
            return;
        if (blockSize < 8 || blockSize > dir.size - pos)
            image.Refuse("damaged base relocation table (a block overruns it)");
        for (uint64_t k = 8; k + 2 <= blockSize; k += 2) {
            const uint32_t entry = Get16(b, at + pos + k);
            const uint32_t type = entry >> 12;
            if (type != 0)  // type 0 only pads a block
                f(static_cast<uint64_t>(page) + (entry & 0xFFF), type == kRelocationDir64 ? 8u : 4u);
        }
        pos += blockSize;
    }
}

// True when section holds the resource tree and nothing that anything else
// could refer to: no code, no other data directory, no relocated address, no
// symbol table, and no non-zero byte outside the tree's own ranges.
bool HoldsOnlyTheTree(const CPeImage& image, const CPeSection& s, const std::vector<CRvaRange>& extents)
{
    if ((s.characteristics & (kScnCode | kScnMemExecute)) != 0 || s.Contains(image.EntryPoint()))
        return false;
    for (int i = 0; image.HasDirectory(i); ++i) {
        const CPeDirectory d = image.Directory(i);
        if (i == kDirResource || i == kDirCertificate || d.address == 0)
            continue;
        if (Overlaps(d.address, std::max<uint32_t>(d.size, 1), s.virtualAddress, s.MappedSize()))
            return false;
    }
    bool fixupInside = false;
    ForEachFixup(image, [&](uint64_t rva, uint32_t width) {
        fixupInside |= Overlaps(rva, width, s.virtualAddress, s.MappedSize());
    });
    if (fixupInside)
        return false;
    const uint32_t symbols = image.PointerToSymbolTable();
    if (symbols != 0 && symbols >= s.pointerToRawData && symbols < s.RawEnd())
        return false;

    // Mark the tree's bytes, then look for anything else.
    std::vector<bool> used(s.sizeOfRawData, false);
    for (const CRvaRange& r : extents) {
        if (!s.Contains(r.rva))
            continue;
        const uint64_t from = r.rva - s.virtualAddress;
        const uint64_t to = std::min<uint64_t>(from + r.size, s.sizeOfRawData);
        for (uint64_t i = from; i < to; ++i)
            used[static_cast<size_t>(i)] = true;
    }
    const std::string& b = image.Bytes();
    for (uint32_t i = 0; i < s.sizeOfRawData; ++i)
        if (!used[i] && b[s.pointerToRawData + i] != '\0')
            return false;
    return true;
}

class CResourceRewrite {
public:
    CResourceRewrite(const CPeImage& image_, CResourceTree tree_) : image(image_), tree(std::move(tree_)) {}

    std::string Run(CResourceWriteNotes& notes)
    {
        if (!image.HasDirectory(kDirResource))
            image.Refuse("cannot hold resources (its headers have no resource directory entry)");
        const std::vector<CPeSection>& sections = image.Sections();
        FindCurrentSection();
        const bool owned = current >= 0 && OwnedCurrent();
        const CPeSection* s = current >= 0 ? &sections[static_cast<size_t>(current)] : nullptr;
        const bool inPlace = owned && static_cast<size_t>(current) == sections.size() - 1 &&
                             s->sizeOfRawData != 0 && s->RawEnd() == image.RawDataEnd();
        const uint32_t fileAlignment = image.FileAlignment();

        if (inPlace) {
            rva = s->virtualAddress;
            edits.push_back({s->pointerToRawData, s->RawEnd(), 0, BuildSection()});
        } else {
            CheckRoomForSectionHeader();
            emptied = owned && s->pointerToRawData % fileAlignment == 0 && s->sizeOfRawData % fileAlignment == 0;
            if (emptied)
                edits.push_back({s->pointerToRawData, s->RawEnd(), 0, std::string()});
            rva = static_cast<uint32_t>(AlignUp(image.MappedEnd(), image.SectionAlignment()));
            const uint64_t at = image.RawDataEnd();
            const uint64_t pad = AlignUp(at, fileAlignment) - at;
            // Removing a multiple of the file alignment before it keeps the
            // new section's raw data aligned.
            newRawOffset = at + pad - (emptied ? s->sizeOfRawData : 0);
            edits.push_back({at, at, pad, BuildSection()});
        }
        const uint64_t imageEnd = AlignUp(uint64_t{rva} + sectionSize, image.SectionAlignment());
        if (imageEnd > kMaxImageSize)
            image.Refuse("cannot hold these resources (the program would exceed 2 GiB)");
        CheckNothingElseRefersTo(inPlace ? s->virtualAddress + uint64_t{s->MappedSize()} : rva,
                                 AlignUp(uint64_t{rva} + sectionSize, image.SectionAlignment()));
        RemoveCertificateTable(notes);
        std::stable_sort(edits.begin(), edits.end(), [](const CEdit& a, const CEdit& b) {
            return a.start < b.start || (a.start == b.start && a.end == a.start && b.end != b.start);
        });

        std::string out = Assemble();
        PatchHeaders(out, inPlace, s, imageEnd);
        PatchFileOffsets(out);
        Put32(out, image.ChecksumOffset(), ComputeChecksum(out, image.ChecksumOffset()));
        notes.newSection = !inPlace;
        notes.oldSectionEmptied = emptied;
        return out;
    }

private:
    // The section that the resource directory starts, if any.
    void FindCurrentSection()
    {
        const CPeDirectory dir = image.Directory(kDirResource);
        if (dir.address == 0)
            return;
        const int index = image.SectionAt(dir.address);
        if (index >= 0 && image.Sections()[static_cast<size_t>(index)].virtualAddress == dir.address)
            current = index;
    }

    bool OwnedCurrent() const
    {
        return HoldsOnlyTheTree(image, image.Sections()[static_cast<size_t>(current)], ResourceTreeExtents(image));
    }

    // The new section's raw data, padded to the file alignment. The tree is
    // not needed afterwards; dropping it keeps one copy of the payload fewer.
    std::string BuildSection()
    {
        std::string bytes = BuildResourceSection(tree, rva);
        tree = CResourceTree();
        sectionSize = bytes.size();
        bytes.resize(static_cast<size_t>(AlignUp(sectionSize, image.FileAlignment())), '\0');
        return bytes;
    }

    size_t NewHeaderOffset() const
    {
        return image.SectionTableOffset() + kSectionHeaderSize * image.Sections().size();
    }

    void CheckRoomForSectionHeader() const
    {
        const size_t at = NewHeaderOffset();
        bool room = image.Sections().size() < kMaxSections && Fits(at, kSectionHeaderSize, image.SizeOfHeaders());
        for (size_t i = 0; room && i < kSectionHeaderSize; ++i)
            room = image.Bytes()[at + i] == '\0';
        // Headers map at RVA == file offset; something like a bound import
        // table may live right after the section table.
        for (int i = 0; room && image.HasDirectory(i); ++i) {
            const CPeDirectory d = image.Directory(i);
            if (i != kDirCertificate && d.address != 0 && Overlaps(d.address, d.size, at, kSectionHeaderSize))
                room = false;
        }
        if (!room)
            image.Refuse("cannot take a new resource section (no room for another section header)");
    }

    // Addresses in [from, to) were not part of the image but now hold
    // resources. A data directory, the entry point or a relocation there
    // would have the loader read or patch the resources.
    void CheckNothingElseRefersTo(uint64_t from, uint64_t to) const
    {
        if (from >= to)
            return;
        const auto inside = [&](uint64_t at, uint64_t size) { return Overlaps(at, std::max<uint64_t>(size, 1), from, to - from); };
        for (int i = 0; image.HasDirectory(i); ++i) {
            const CPeDirectory d = image.Directory(i);
            if (i != kDirResource && i != kDirCertificate && d.address != 0 && inside(d.address, d.size))
                image.Refuse("cannot be rebuilt safely (data directory " + std::to_string(i) +
                             " points past the end of the image)");
        }
        bool fixup = false;
        ForEachFixup(image, [&](uint64_t at, uint32_t width) { fixup |= inside(at, width); });
        if (image.EntryPoint() != 0 && inside(image.EntryPoint(), 1))
            image.Refuse("cannot be rebuilt safely (its entry point lies past the end of the image)");
        if (fixup)
            image.Refuse("cannot be rebuilt safely (base relocations point past the end of the image)");
    }

    void RemoveCertificateTable(CResourceWriteNotes& notes)
    {
        if (!image.HasDirectory(kDirCertificate))
            return;
        const CPeDirectory cert = image.Directory(kDirCertificate);
        if (cert.Empty())
            return;
        if (cert.address < image.RawDataEnd() || !Fits(cert.address, cert.size, image.Bytes().size()))
            image.Refuse("damaged signature (the certificate table lies outside the file's overlay)");
        edits.push_back({cert.address, uint64_t{cert.address} + cert.size, 0, std::string()});
        notes.signatureRemoved = true;
    }

    std::string Assemble() const
    {
        const std::string& in = image.Bytes();
        std::string out;
        uint64_t size = in.size();
        for (const CEdit& e : edits)
            size = size - (e.end - e.start) + e.Length();
        if (size > 0xFFFFFFFFull)
            image.Refuse("cannot hold these resources (the file would exceed 4 GiB)");
        out.reserve(static_cast<size_t>(size));
        uint64_t pos = 0;
        for (const CEdit& e : edits) {
            out.append(in, static_cast<size_t>(pos), static_cast<size_t>(e.start - pos));
            out.append(static_cast<size_t>(e.zeros), '\0');
            out += e.bytes;
            pos = e.end;
        }
        out.append(in, static_cast<size_t>(pos), std::string::npos);
        return out;
    }

    void PatchHeaders(std::string& out, bool inPlace, const CPeSection* s, uint64_t imageEnd) const
    {
        const size_t oh = image.OptionalHeaderOffset();
        const COffsetMap map(edits);
        const uint32_t newRaw = static_cast<uint32_t>(AlignUp(sectionSize, image.FileAlignment()));
        int64_t initialized = Get32(out, oh + kOhSizeOfInitializedData);

        for (const CPeSection& other : image.Sections()) {
            if (&other == s && (inPlace || emptied))
                continue;
            uint64_t mapped = 0;
            if (other.sizeOfRawData != 0 && map.Map(other.pointerToRawData, mapped))
                Put32(out, other.headerOffset + kShPointerToRawData, static_cast<uint32_t>(mapped));
        }
        if (inPlace) {
            Put32(out, s->headerOffset + kShVirtualSize, static_cast<uint32_t>(sectionSize));
            Put32(out, s->headerOffset + kShSizeOfRawData, newRaw);
            if ((s->characteristics & kScnInitializedData) != 0)
                initialized += int64_t{newRaw} - s->sizeOfRawData;
        } else {
            if (emptied) {
                // Keep the address range: the sections must stay adjacent.
                Put32(out, s->headerOffset + kShVirtualSize, s->MappedSize());
                Put32(out, s->headerOffset + kShSizeOfRawData, 0);
                Put32(out, s->headerOffset + kShPointerToRawData, 0);
                if ((s->characteristics & kScnInitializedData) != 0)
                    initialized -= s->sizeOfRawData;
            }
            const size_t h = NewHeaderOffset();
            out.replace(h, 8, std::string(".rsrc\0\0\0", 8));
            Put32(out, h + kShVirtualSize, static_cast<uint32_t>(sectionSize));
            Put32(out, h + kShVirtualAddress, rva);
            Put32(out, h + kShSizeOfRawData, newRaw);
            Put32(out, h + kShPointerToRawData, static_cast<uint32_t>(newRawOffset));
            Put32(out, h + kShCharacteristics, kNewSectionCharacteristics);
            Put16(out, image.FileHeaderOffset() + kFhNumberOfSections,
                  static_cast<uint32_t>(image.Sections().size() + 1));
            initialized += newRaw;
        }
        if (initialized >= 0 && initialized <= 0xFFFFFFFFll)
            Put32(out, oh + kOhSizeOfInitializedData, static_cast<uint32_t>(initialized));
        Put32(out, oh + kOhSizeOfImage, static_cast<uint32_t>(imageEnd));
        Put32(out, image.DirectoryOffset(kDirResource), rva);
        Put32(out, image.DirectoryOffset(kDirResource) + 4, static_cast<uint32_t>(sectionSize));
        if (image.HasDirectory(kDirCertificate)) {
            Put32(out, image.DirectoryOffset(kDirCertificate), 0);
            Put32(out, image.DirectoryOffset(kDirCertificate) + 4, 0);
        }
    }

    // The file offsets outside the section table: the symbol table and the
    // debug directory's data.
    void PatchFileOffsets(std::string& out) const
    {
        const COffsetMap map(edits);
        // A file offset past the end would move into the bytes added here (and
        // past 4 GiB wrap round), so it cannot be kept meaningful.
        const uint64_t fileSize = image.Bytes().size();
        uint64_t mapped = 0;
        if (image.PointerToSymbolTable() != 0) {
            if (image.PointerToSymbolTable() >= fileSize)
                image.Refuse("damaged PE header (the symbol table lies past the end of the file)");
            if (!map.Map(image.PointerToSymbolTable(), mapped))
                image.Refuse("cannot be rebuilt (its symbol table lies inside the resource section)");
            Put32(out, image.FileHeaderOffset() + kFhPointerToSymbolTable, static_cast<uint32_t>(mapped));
        }
        const CPeDirectory debug = image.Directory(kDirDebug);
        if (debug.address == 0 || debug.size == 0)
            return;
        size_t at = 0;
        if (!image.MapRva(debug.address, debug.size, at))
            image.Refuse("damaged debug directory (it lies outside the file)");
        for (uint64_t e = 0; e + kDebugEntrySize <= debug.size; e += kDebugEntrySize) {
            const uint64_t field = at + e + kDebugPointerToRawData;
            const uint32_t pointer = Get32(image.Bytes(), static_cast<size_t>(field));
            uint64_t fieldOut = 0;
            if (pointer == 0)
                continue;
            if (pointer >= fileSize)
                image.Refuse("damaged debug directory (its data lies past the end of the file)");
            if (!map.Map(field, fieldOut) || !map.Map(pointer, mapped))
                image.Refuse("cannot be rebuilt (its debug data lies inside the resource section)");
            Put32(out, static_cast<size_t>(fieldOut), static_cast<uint32_t>(mapped));
        }
    }

    const CPeImage& image;
    CResourceTree tree;
    int current = -1;
    bool emptied = false;
    uint32_t rva = 0;
    uint64_t newRawOffset = 0;
    uint64_t sectionSize = 0;
    std::vector<CEdit> edits;
};

}  // namespace

std::string WriteWithResources(const CPeImage& image, CResourceTree tree, CResourceWriteNotes* notes)
{
    CResourceWriteNotes ignored;
    return CResourceRewrite(image, std::move(tree)).Run(notes != nullptr ? *notes : ignored);
}
