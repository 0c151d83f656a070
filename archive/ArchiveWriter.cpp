#include "archive/ArchiveWriter.h"

#include "archive/ArchiveFormat.h"

namespace {

void AppendUint32(std::string& out, uint64_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += static_cast<char>(value >> shift & 0xFF);
}

uint64_t DirectoryEnd(const std::vector<ArchiveFileInfo>& files)
{
    uint64_t end = kHeaderSize;
    for (const ArchiveFileInfo& file : files)
        end += kRecordFixedSize + file.name.size() + 1;
    return end;
}

}  // namespace

uint64_t ArchiveImageSize(const std::vector<ArchiveFileInfo>& files)
{
    uint64_t size = DirectoryEnd(files);
    for (const ArchiveFileInfo& file : files)
        size += file.size;
    return size;
}

std::string ArchiveDirectoryBytes(const std::vector<ArchiveFileInfo>& files)
{
    const uint64_t directoryEnd = DirectoryEnd(files);
    std::string out(kArchiveSignature, kSignatureSize);
    AppendUint32(out, directoryEnd);
    AppendUint32(out, files.size());
    uint64_t offset = directoryEnd;
    for (const ArchiveFileInfo& file : files) {
        AppendUint32(out, file.name.size() + 1);
        out += file.name;
        out += '\0';
        AppendUint32(out, file.size);
        AppendUint32(out, offset);
        offset += file.size;
    }
    return out;
}
