// The LZSS decoder on any byte stream, as the launcher's worker runs it on the
// payload resource. Properties: a stream either decodes or raises a
// CKwoException, never anything else; the progress callback runs on the 1st,
// (stride+1)th, (2*stride+1)th ... compressed byte read, with that count.
#include "fuzz/FuzzSupport.h"

#include <sstream>
#include <string>

namespace {

struct Progress {
    uint32_t stride;
    uint32_t calls;
    uint32_t lastCount;
};

void Record(uint32_t count, void* context)
{
    Progress& progress = *static_cast<Progress*>(context);
    Require((count - 1) % progress.stride == 0 && count > progress.lastCount);
    ++progress.calls;
    progress.lastCount = count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte picks the stride, as the worker's payload size would.
    Progress progress = {size > 0 ? 1u + data[0] % 16 : 1u, 0, 0};
    std::istringstream input(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream output;
    size_t consumed = size;
    Raises([&] {
        Codec().Decode(input, output, Record, &progress, progress.stride);
        input.clear();
        consumed = static_cast<size_t>(input.tellg());
    });
    // Every byte read was counted: calls for counts 1, stride+1, ... up to it.
    const uint32_t expected = consumed == 0 ? 0 : static_cast<uint32_t>((consumed - 1) / progress.stride + 1);
    Require(progress.calls == expected);
    return 0;
}
