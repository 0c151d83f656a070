// A payload decoded and loaded for list and unpack: the archive image and the
// archive that points into it, checked by the launcher's own loader.
#pragma once

#include "archive/Archive.h"

#include <string>

class CLoadedPayload {
public:
    // Reads the payload at path, decodes it (with a progress bar when
    // showProgress) and loads the image. Raises "ArchiveError" naming path and
    // what is wrong when the payload does not decode or the image is not one
    // the launcher would accept.
    CLoadedPayload(const std::string& path, bool showProgress);

    const CArchive& Archive() const { return archive; }
    CArchive& Archive() { return archive; }
    size_t PayloadSize() const { return payloadSize; }
    size_t ImageSize() const { return image.size(); }
    const uint8_t* ImageData() const { return reinterpret_cast<const uint8_t*>(image.data()); }

private:
    size_t payloadSize = 0;
    std::string image;  // declared before the archive, so it outlives it
    CArchive archive;
};
