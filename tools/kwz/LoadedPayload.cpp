#include "tools/kwz/LoadedPayload.h"

#include "tools/kwz/MemoryStreams.h"
#include "tools/kwz/ProgressBar.h"

#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <algorithm>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>

namespace {

[[noreturn]] void RaisePayloadError(const std::string& name, const std::string& what)
{
    ThrowError("ArchiveError", (name + ": " + what).c_str(), 0, 0);
}

// Every size and offset field is 32-bit, so no valid image is larger.
constexpr uint64_t kImageLimit = std::min<uint64_t>(kLargestImage, SIZE_MAX);

// The decoded image, or a call of tooLarge as soon as it passes limit bytes.
std::string Decode(const std::string& name, const std::string& payload, bool showProgress, uint64_t limit,
                   const std::function<void()>& tooLarge)
{
    CMemoryInputBuffer inputBuffer(payload, nullptr);
    std::istream input(&inputBuffer);
    CStringOutputBuffer outputBuffer(static_cast<size_t>(std::min(limit, kImageLimit)));
    std::ostream output(&outputBuffer);
    // A write past the limit ends the decode at once.
    output.exceptions(std::ios::badbit);
    CProgressBar bar("decoding", payload.size(), showProgress);
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    try {
        codec->Decode(input, output, CProgressBar::CodecCallback, &bar,
                      static_cast<uint32_t>(std::max<size_t>(1, payload.size() / 200)));
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> e(raw);
        if (e->Category() != "BitFileError")
            throw e.release();
        RaisePayloadError(name, "the payload is cut short: " + e->MessageText());
    } catch (const std::ios_base::failure&) {
        if (!outputBuffer.Overflowed())
            throw;
        if (tooLarge)
            tooLarge();
        RaisePayloadError(name, "the payload decodes to more than 4 GiB - 1 bytes, more than an image can hold");
    }
    bar.Finish();
    return outputBuffer.Take();
}

}  // namespace

CLoadedPayload::CLoadedPayload(const std::string& name, std::string payload_, bool showProgress, uint64_t largestImage,
                               const std::function<void()>& refuseLarger)
    : payload(std::move(payload_))
{
    image = Decode(name, payload, showProgress, largestImage, refuseLarger);

    // The loader says only "Archive is corrupted."; the same reading here
    // tells the user what is wrong.
    std::vector<ArchiveRecord> records;
    std::string problem;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(image.data());
    if (!ReadArchiveDirectory(bytes, image.size(), records, problem))
        RaisePayloadError(name, "Archive is corrupted. (" + problem + ")");
    archive.Load(bytes, image.size());
}
