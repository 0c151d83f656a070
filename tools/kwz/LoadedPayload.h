// A payload decoded and loaded for list, unpack and stamp: the archive image
// and the archive that points into it, checked by the launcher's own loader.
#pragma once

#include "archive/Archive.h"
#include "archive/ArchiveFormat.h"

#include <functional>
#include <string>

class CLoadedPayload {
public:
    // Decodes payload (name names it in messages), with a progress bar when
    // showProgress, and loads the image. Raises "ArchiveError" naming name
    // and what is wrong when the payload does not decode or the image is not
    // one the launcher would accept. The decode stops as soon as the image
    // passes largestImage bytes; refuseLarger then raises (by default, that
    // no archive is that large).
    CLoadedPayload(const std::string& name, std::string payload, bool showProgress,
                   uint64_t largestImage = kLargestImage, const std::function<void()>& refuseLarger = nullptr);

    const CArchive& Archive() const { return archive; }
    size_t PayloadSize() const { return payload.size(); }
    const std::string& Payload() const { return payload; }
    size_t ImageSize() const { return image.size(); }
    const uint8_t* ImageData() const { return reinterpret_cast<const uint8_t*>(image.data()); }
    // The payload's bytes, moved out; the archive stays readable.
    std::string TakePayload() { return std::move(payload); }

private:
    std::string payload;
    std::string image;  // declared before the archive, so it outlives it
    CArchive archive;
};
