// kwo_extract_steps PAYLOAD.kwz FOLDER: the launcher's extraction, step by
// step and timed, in one process: the same stream classes, codec and archive
// as the extraction worker, in the same order. Prints one line:
//
//   copy_ms=N decode_ms=N load_ms=N write_ms=N files=N image_bytes=N decode_flat_ms=N
//
// copy_ms is the payload's copy into the stream that the decoder reads (the
// launcher copies its resource the same way), decode_ms the decode into the
// growing image, load_ms the archive's directory, write_ms the writing of
// every entry into FOLDER (which must exist). decode_flat_ms is the same
// decode again, into a buffer of the image's size allocated and touched
// beforehand: what the decode costs without the image's growth. It tells
// where a launcher's time goes that kwo_launcher_timer only sums up.
#include "app/MemoryStreams.h"
#include "archive/Archive.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

// An output buffer over memory that is already there.
class CFlatBuffer : public std::streambuf {
public:
    explicit CFlatBuffer(std::vector<char>& memory) { setp(memory.data(), memory.data() + memory.size()); }
};

class CStopwatch {
public:
    CStopwatch()
    {
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&last);
    }
    // Milliseconds since the last call (or the construction).
    double Lap()
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        const double ms =
            static_cast<double>(now.QuadPart - last.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
        last = now;
        return ms;
    }

private:
    LARGE_INTEGER frequency;
    LARGE_INTEGER last;
};

int Run(const char* payloadPath, std::string folder)
{
    std::ifstream file(payloadPath, std::ios::binary | std::ios::ate);
    std::vector<char> payload(file ? static_cast<size_t>(file.tellg()) : 0);
    file.seekg(0);
    if (!file.read(payload.data(), static_cast<std::streamsize>(payload.size())) || payload.empty()) {
        std::fprintf(stderr, "kwo_extract_steps: cannot read %s\n", payloadPath);
        return 1;
    }
    if (folder.back() != '\\')
        folder += '\\';

    CStopwatch watch;
    double copyMs, decodeMs;
    CImageStream decoded;
    {
        CPayloadStream compressed(payload.data(), payload.size());
        copyMs = watch.Lap();
        std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
        codec->Decode(compressed.Stream(), decoded.Stream(), nullptr, nullptr, 1);
        decodeMs = watch.Lap();
    }
    watch.Lap();
    std::unique_ptr<CArchive> archive(new CArchive);
    archive->Load(decoded.Data(), decoded.Size());
    const double loadMs = watch.Lap();
    for (uint32_t i = 0; i < archive->GetEntryCount(); ++i)
        archive->ExtractEntry(i, folder.c_str());
    const double writeMs = watch.Lap();

    std::vector<char> flat(decoded.Size(), 1);
    CFlatBuffer flatBuffer(flat);
    std::ostream flatStream(&flatBuffer);
    CPayloadStream again(payload.data(), payload.size());
    std::unique_ptr<CLzssCodec> codec(new CLzssCodec);
    watch.Lap();
    codec->Decode(again.Stream(), flatStream, nullptr, nullptr, 1);
    const double flatMs = watch.Lap();
    if (std::memcmp(flat.data(), decoded.Data(), flat.size()) != 0) {
        std::fprintf(stderr, "kwo_extract_steps: the second decode differs\n");
        return 1;
    }
    std::printf("copy_ms=%.0f decode_ms=%.0f load_ms=%.0f write_ms=%.0f files=%lu image_bytes=%llu "
                "decode_flat_ms=%.0f\n",
                copyMs, decodeMs, loadMs, writeMs, static_cast<unsigned long>(archive->GetEntryCount()),
                static_cast<unsigned long long>(decoded.Size()), flatMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: kwo_extract_steps PAYLOAD.kwz FOLDER\n");
        return 2;
    }
    try {
        return Run(argv[1], argv[2]);
    } catch (CKwoException* raw) {
        std::unique_ptr<CKwoException> error(raw);
        std::fprintf(stderr, "kwo_extract_steps: %s\n", error->MessageText().c_str());
        return 1;
    }
}
