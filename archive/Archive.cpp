#include "archive/Archive.h"

#include "archive/ArchiveFormat.h"
#include "base/FolderPath.h"
#include "base/FormatString.h"
#include "base/KwoException.h"

#include <algorithm>
#include <exception>
#include <fstream>
#include <new>

namespace {

constexpr uint64_t kWritePiece = 64u << 20;

}  // namespace

CArchive::~CArchive()
{
    if (inPlace)
        for (const auto& entry : entries)
            for (const auto& chunk : entry->chunks)
                chunk->data = nullptr;
}

void CArchive::Load(const uint8_t* image, size_t length)
{
    inPlace = true;
    std::vector<ArchiveRecord> records;
    std::string problem;
    if (!ReadArchiveDirectory(image, length, records, problem))
        ThrowWin32Error("ArchiveError", "Archive is corrupted.", 0, 0);

    entries.reserve(entries.size() + records.size());
    for (ArchiveRecord& record : records) {
        entries.push_back(std::unique_ptr<CArchiveEntry>(new CArchiveEntry));
        CArchiveEntry& entry = *entries.back();
        entry.name.swap(record.name);
        entry.size = record.size;
        entry.chunks.push_back(std::unique_ptr<CArchiveChunk>(new CArchiveChunk));
        CArchiveChunk& chunk = *entry.chunks.back();
        chunk.capacity = record.size;
        chunk.length = record.size;
        // The chunk never writes through data; the type is shared with owned chunks.
        chunk.data = const_cast<uint8_t*>(image) + record.offset;
    }
}

uint32_t CArchive::GetEntryCount() const
{
    return static_cast<uint32_t>(entries.size());
}

const CArchiveEntry& CArchive::GetEntry(uint32_t index) const
{
    return *entries.at(index);
}

std::string ExtractionFailureDetails(const std::exception& failure, std::ios_base::iostate streamState)
{
    // libstdc++'s own texts ("basic_ios::clear: iostream error",
    // "std::bad_alloc") are not the ones the system reports.
    if (dynamic_cast<const std::ios_base::failure*>(&failure) != nullptr)
        return (streamState & std::ios_base::badbit) != 0 ? "ios_base::badbit set" : "ios_base::failbit set";
    if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr)
        return "bad allocation";
    return failure.what();
}

void CArchive::ExtractEntry(uint32_t index, const char* folder)
{
    bool failed = false;
    std::string details;
    {
        std::ofstream file;
        try {
            const CArchiveEntry& entry = *entries.at(index);
            const std::string target = NativeFolderPath(folder) + entry.name;
            file.exceptions(std::ios_base::failbit | std::ios_base::badbit);
            file.open(target, std::ios_base::binary | std::ios_base::out | std::ios_base::trunc);
            // In pieces: a write of 2 GiB or more in one call never ends with
            // the Windows C runtime, whose write counts in an int.
            for (const auto& chunk : entry.chunks)
                for (uint64_t at = 0; at < chunk->length; at += kWritePiece)
                    file.write(reinterpret_cast<const char*>(chunk->data) + at,
                               static_cast<std::streamsize>(std::min<uint64_t>(kWritePiece, chunk->length - at)));
            // A file short of its tail must not pass for written: the buffered
            // rest is flushed here, where a failure still raises.
            file.flush();
            file.close();
        } catch (const std::exception& failure) {
            failed = true;
            details = ExtractionFailureDetails(failure, file.rdstate());
        }
    }
    if (failed) {
        std::string message;
        KwoBase::FormatString(message, "Error while extracting file from archive. Details: %s", details.c_str());
        ThrowError("ArchiveError", message.c_str(), 0, 0);
    }
}
