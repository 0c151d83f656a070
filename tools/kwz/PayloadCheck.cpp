#include "tools/kwz/PayloadCheck.h"

#include "tools/kwz/FolderListing.h"

#include "archive/ArchiveFormat.h"
#include "archive/ArchiveName.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

namespace {

// A record as read, with where its name field says the directory goes on.
struct CPlacedRecord {
    ArchiveRecord record;
    uint64_t end;  // first byte after the record
};

// The directory of an image the loader has accepted (so every read fits).
std::vector<CPlacedRecord> PlacedRecords(const uint8_t* image, size_t size)
{
    std::vector<ArchiveRecord> records;
    std::string ignored;
    ReadArchiveDirectory(image, size, records, ignored);
    std::vector<CPlacedRecord> placed;
    uint64_t at = kHeaderSize;
    for (ArchiveRecord& record : records) {
        at += 4 + uint64_t{ReadUint32(image + at)} + 8;
        placed.push_back({std::move(record), at});
    }
    return placed;
}

std::string ByteCount(uint64_t n)
{
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

std::string Entry(size_t index, const std::string& name)
{
    return "entry " + std::to_string(index) + " \"" + PrintableName(name) + "\"";
}

// How the bytes of a file and of an entry differ, or "" when they do not.
std::string Difference(const std::string& file, const uint8_t* data, uint32_t size)
{
    if (file.size() != size)
        return std::to_string(size) + " bytes in the payload, " + std::to_string(file.size()) + " in the folder";
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    const auto mismatch = std::mismatch(bytes, bytes + size, data);
    if (mismatch.first == bytes + size)
        return std::string();
    char text[96];
    std::snprintf(text, sizeof text, "the bytes differ from offset %lu on (0x%02X in the payload, 0x%02X in the folder)",
                  static_cast<unsigned long>(mismatch.first - bytes), *mismatch.second, *mismatch.first);
    return text;
}

}  // namespace

std::string FoldNameCase(std::string name)
{
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return name;
}

const char* FindingKindName(CPayloadFinding::Kind kind)
{
    switch (kind) {
    case CPayloadFinding::kStructure: return "structure";
    case CPayloadFinding::kMissing: return "missing";
    case CPayloadFinding::kExtra: return "extra";
    case CPayloadFinding::kDifferent: return "different";
    }
    return "?";
}

std::vector<CPayloadFinding> CheckImageLayout(const uint8_t* image, size_t size)
{
    std::vector<CPayloadFinding> findings;
    const std::vector<CPlacedRecord> records = PlacedRecords(image, size);
    const uint64_t directoryEnd = records.empty() ? kHeaderSize : records.back().end;
    const uint32_t field = ReadUint32(image + kDirectoryEndOffset);
    if (field != directoryEnd)
        findings.push_back({CPayloadFinding::kStructure, "",
                            "the directory-end field says " + std::to_string(field) + ", but the directory ends at " +
                                std::to_string(directoryEnd)});

    // kwz pack puts the data right after the directory, in directory order.
    uint64_t expected = directoryEnd;
    std::map<std::string, size_t> folded;
    for (size_t i = 0; i < records.size(); ++i) {
        const ArchiveRecord& r = records[i].record;
        if (r.offset != expected) {
            const std::string how = r.offset > expected
                                        ? "a gap of " + ByteCount(r.offset - expected)
                                        : ByteCount(expected - r.offset) + " overlap earlier data or the directory";
            findings.push_back({CPayloadFinding::kStructure, r.name,
                                Entry(i, r.name) + ": its data start at " + std::to_string(r.offset) +
                                    ", not at " + std::to_string(expected) + " (" + how + ")"});
        }
        expected = std::max<uint64_t>(expected, uint64_t{r.offset} + r.size);
        const auto seen = folded.emplace(FoldNameCase(r.name), i);
        if (!seen.second)
            findings.push_back({CPayloadFinding::kStructure, r.name,
                                Entry(i, r.name) + " and " + Entry(seen.first->second, records[seen.first->second].record.name) +
                                    " are one file on Windows, which ignores letter case; the later overwrites the earlier"});
    }
    if (expected < size)
        findings.push_back({CPayloadFinding::kStructure, "",
                            ByteCount(size - expected) + " after the last data belong to no entry"});
    return findings;
}

std::vector<CPayloadFinding> CompareWithFolder(const uint8_t* image, size_t size, const std::string& folder,
                                               unsigned codePage)
{
    // The folder's items by the name kwz pack would store.
    std::map<std::string, FolderItem> items;
    std::vector<CPayloadFinding> findings;
    for (FolderItem& item : ListFolder(folder)) {
        std::string stored = item.name;
        if (codePage != 0 && !EncodeName(item.name, codePage, stored))
            findings.push_back({CPayloadFinding::kExtra, item.name,
                                "code page " + std::to_string(codePage) + " cannot spell this name, so no entry can match it"});
        else
            items.emplace(stored, std::move(item));
    }

    std::set<std::string> matched;
    for (const CPlacedRecord& placed : PlacedRecords(image, size)) {
        const ArchiveRecord& r = placed.record;
        const auto found = items.find(r.name);
        if (found == items.end()) {
            findings.push_back({CPayloadFinding::kMissing, r.name, "in the payload, not in the folder"});
            continue;
        }
        matched.insert(r.name);
        if (found->second.kind != FolderItem::kFile) {
            findings.push_back({CPayloadFinding::kDifferent, r.name, "a file in the payload, not a file in the folder"});
            continue;
        }
        std::string bytes;
        AppendFolderFile(folder, found->second.name, found->second.size, bytes);
        const std::string difference = Difference(bytes, image + r.offset, r.size);
        if (!difference.empty())
            findings.push_back({CPayloadFinding::kDifferent, r.name, difference});
    }
    for (const auto& item : items)
        if (matched.count(item.first) == 0)
            findings.push_back({CPayloadFinding::kExtra, item.first,
                                item.second.kind == FolderItem::kFile ? "in the folder, not in the payload"
                                                                      : "a folder or other item, which no payload holds"});
    return findings;
}
