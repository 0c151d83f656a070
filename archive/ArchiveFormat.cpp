#include "archive/ArchiveFormat.h"

#include "archive/ArchiveName.h"

#include <cstring>

namespace {

// Reads one record at image[at, length), advancing at; returns the reason it
// cannot be taken, or an empty text.
std::string ReadRecord(const uint8_t* image, size_t length, size_t& at, ArchiveRecord& record)
{
    // at <= length holds throughout, so length - at cannot wrap.
    if (length - at < 4)
        return "the record runs past the end of the image";
    const uint32_t nameLength = ReadUint32(image + at);
    at += 4;
    if (nameLength == 0)
        return "the name length is 0";
    if (length - at < nameLength || length - at - nameLength < 8)
        return "the record runs past the end of the image";
    const char* nameField = reinterpret_cast<const char*>(image + at);
    const void* nul = std::memchr(nameField, '\0', nameLength);
    if (nul == nullptr)
        return "the name field holds no NUL";
    record.name.assign(nameField, static_cast<const char*>(nul));
    at += nameLength;
    record.size = ReadUint32(image + at);
    record.offset = ReadUint32(image + at + 4);
    at += 8;

    const std::string quoted = "\"" + PrintableName(record.name) + "\": ";
    if (const char* why = FileNameProblem(record.name))
        return quoted + why;
    if (record.offset > length || record.size > length - record.offset)
        return quoted + "the data lie outside the image";
    return std::string();
}

}  // namespace

bool ReadArchiveDirectory(const uint8_t* image, size_t length, std::vector<ArchiveRecord>& records,
                          std::string& problem)
{
    if (length < kSignatureSize || std::memcmp(image, kArchiveSignature, kSignatureSize) != 0) {
        problem = "the signature does not match";
        return false;
    }
    if (length < kHeaderSize) {
        problem = "the header runs past the end of the image";
        return false;
    }
    const uint32_t count = ReadUint32(image + kEntryCountOffset);
    // Checked before anything is reserved, so a hostile count costs nothing.
    if (count > (length - kHeaderSize) / kSmallestRecord) {
        problem = "the entry count " + std::to_string(count) + " cannot fit in the image";
        return false;
    }

    std::vector<ArchiveRecord> read(count);
    size_t at = kHeaderSize;
    for (size_t index = 0; index < count; ++index) {
        const std::string why = ReadRecord(image, length, at, read[index]);
        if (!why.empty()) {
            problem = "entry " + std::to_string(index) + ": " + why;
            return false;
        }
    }
    records.swap(read);
    return true;
}
