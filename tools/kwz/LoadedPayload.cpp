#include "tools/kwz/LoadedPayload.h"

#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/PayloadFile.h"
#include "tools/kwz/ProgressBar.h"

#include "archive/ArchiveFormat.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <algorithm>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>

namespace {

[[noreturn]] void RaisePayloadError(const std::string& path, const std::string& what)
{
    ThrowError("ArchiveError", (path + ": " + what).c_str(), 0, 0);
}

// Every size and offset field is 32-bit, so no valid image is larger.
constexpr size_t kImageLimit = static_cast<size_t>(std::min<uint64_t>(kLargestImage, SIZE_MAX));

std::string Decode(const std::string& path, const std::string& payload, bool showProgress)
{
    CMemoryInputBuffer inputBuffer(payload, nullptr);
    std::istream input(&inputBuffer);
    CStringOutputBuffer outputBuffer(kImageLimit);
    std::ostream output(&outputBuffer);
    CProgressBar bar("decoding", payload.size(), showProgress);
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    try {
        codec->Decode(input, output, CProgressBar::CodecCallback, &bar,
                      static_cast<uint32_t>(std::max<size_t>(1, payload.size() / 200)));
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        RaisePayloadError(path, e->MessageText());
    }
    if (outputBuffer.Overflowed())
        RaisePayloadError(path, "the payload decodes to more than 4 GiB - 1 bytes, more than an image can hold");
    bar.Finish();
    return outputBuffer.Take();
}

}  // namespace

CLoadedPayload::CLoadedPayload(const std::string& path, bool showProgress)
{
    const std::string payload = ReadPayloadFile(path);
    payloadSize = payload.size();
    image = Decode(path, payload, showProgress);

    // The loader says only "Archive is corrupted."; the same reading here
    // tells the user what is wrong.
    std::vector<ArchiveRecord> records;
    std::string problem;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.data());
    if (!ReadArchiveDirectory(bytes, image.size(), records, problem))
        RaisePayloadError(path, "Archive is corrupted. (" + problem + ")");
    archive.Load(bytes, image.size());
}
