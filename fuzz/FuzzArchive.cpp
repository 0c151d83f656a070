// Loading and listing an archive image, as the launcher and kwz list do.
// Properties: no read outside the image; an accepted image has plain names
// and data areas inside the image; writing the accepted directory again
// gives an image that loads to the same entries.
#include "fuzz/FuzzSupport.h"

#include <string>

namespace {

constexpr uint64_t kRelayoutLimit = 1 << 20;

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
