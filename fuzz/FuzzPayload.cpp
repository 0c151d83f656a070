// The whole road of a payload through the launcher's worker: the compressed
// bytes decoded into an image, the image loaded in place and every entry
// listed. Property: whatever the payload, the road ends in a decoded and
// checked archive or in a CKwoException, with no read outside the image.
#include "fuzz/FuzzSupport.h"

#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream payload(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream decoded;
    if (Raises([&] { Codec().Decode(payload, decoded, nullptr, nullptr, 1 + static_cast<uint32_t>(size / 100)); }))
        return 0;
    // An exact-size copy, so that the sanitizer sees reads past the image.
    const std::string text = decoded.str();
    const std::vector<uint8_t> image(text.begin(), text.end());
    std::vector<ArchiveFileInfo> listed;
    LoadAndList(image.data(), image.size(), listed);
    return 0;
}
