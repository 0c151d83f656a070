// Loading and listing an archive image, as the launcher and kwz list do.
// Properties: no read outside the image; an accepted image has plain names
// and data areas inside the image; writing the accepted directory again
// gives an image that loads to the same entries.
#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"
#include "archive/ArchiveName.h"
#include "archive/ArchiveWriter.h"
#include "base/KwoException.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint64_t kRelayoutLimit = 1 << 20;

void Require(bool condition)
{
    if (!condition)
        std::abort();
}

// Loads image; true when accepted. Touches the first and last byte of every
// data area, so that the sanitizer sees any area reaching past the image.
bool LoadAndList(const uint8_t* image, size_t length, std::vector<ArchiveFileInfo>& listed)
{
    CArchive archive;
    try {
        archive.Load(image, length);
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        Require(archive.GetEntryCount() == 0);
        return false;
    }
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        Require(FileNameProblem(entry.name) == nullptr);
        Require(entry.chunks.size() == 1 && entry.chunks[0]->length == entry.size);
        const uint8_t* data = entry.chunks[0]->data;
        Require(data >= image && static_cast<size_t>(data - image) + entry.size <= length);
        if (entry.size > 0)
            sink = static_cast<uint8_t>(sink + data[0] + data[entry.size - 1]);
        PrintableName(entry.name);
        listed.push_back(ArchiveFileInfo{entry.name, entry.size});
    }
    (void)sink;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<ArchiveRecord> records;
    std::string problem;
    const bool readable = ReadArchiveDirectory(data, size, records, problem);

    std::vector<ArchiveFileInfo> listed;
    const bool loaded = LoadAndList(data, size, listed);
    Require(readable == loaded);
    if (!loaded)
        return 0;

    // The same entries laid out as the packer writes them, with zero bytes of
    // data, load back to the same names and sizes. Shared data areas can make
    // that image far larger than the input; those are left out.
    if (ArchiveImageSize(listed) > kRelayoutLimit)
        return 0;
    std::string image = ArchiveDirectoryBytes(listed);
    image.resize(static_cast<size_t>(ArchiveImageSize(listed)), '\0');
    std::vector<ArchiveFileInfo> again;
    Require(LoadAndList(reinterpret_cast<const uint8_t*>(image.data()), image.size(), again));
    Require(again.size() == listed.size());
    for (size_t i = 0; i < listed.size(); ++i)
        Require(again[i].name == listed[i].name && again[i].size == listed[i].size);
    return 0;
}
