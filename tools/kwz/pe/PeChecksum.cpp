#include "tools/kwz/pe/PeFormat.h"

namespace Pe {

uint32_t ComputeChecksum(const std::string& file, size_t checksumOffset)
{
    // End-around-carry addition is associative, so the words can be summed in
    // 64 bits and folded once at the end.
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    const size_t size = file.size();
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 1 < size; i += 2)
        sum += static_cast<uint32_t>(bytes[i]) | static_cast<uint32_t>(bytes[i + 1]) << 8;
    if (i < size)
        sum += bytes[i];
    // Take the checksum field back out: it counts as zero. Each byte counts as
    // the low or the high half of its word by the parity of its offset.
    for (size_t at = checksumOffset; at < checksumOffset + 4 && at < size; ++at)
        sum -= (at % 2 == 0) ? bytes[at] : static_cast<uint32_t>(bytes[at]) << 8;
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum) + static_cast<uint32_t>(size);
}

}  // namespace Pe
