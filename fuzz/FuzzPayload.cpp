// The whole road of a payload through the launcher's worker: the compressed
// bytes decoded into an image, the image loaded in place and every entry
// listed. Property: whatever the payload, the road ends in a decoded and
// checked archive or in a CKwoException, with no read outside the image.
#include "archive/Archive.h"
#include "archive/ArchiveName.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

CLzssCodec& Codec()
{
    static CLzssCodec* codec = new CLzssCodec;
    return *codec;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream payload(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream decoded;
    try {
        Codec().Decode(payload, decoded, nullptr, nullptr, 1 + static_cast<uint32_t>(size / 100));
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        return 0;
    }
    // An exact-size copy, so that the sanitizer sees reads past the image.
    const std::string text = decoded.str();
    const std::vector<uint8_t> image(text.begin(), text.end());

    CArchive archive;
    try {
        archive.Load(image.data(), image.size());
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        return 0;
    }
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& entry = archive.GetEntry(i);
        if (FileNameProblem(entry.name) != nullptr)
            std::abort();
        if (entry.size > 0)
            sink = static_cast<uint8_t>(sink + entry.chunks[0]->data[0] + entry.chunks[0]->data[entry.size - 1]);
    }
    (void)sink;
    return 0;
}
