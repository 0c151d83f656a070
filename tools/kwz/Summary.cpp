#include "tools/kwz/Summary.h"

#include <cstdio>

std::string TotalsText(uint64_t entries, uint64_t imageSize, uint64_t payloadSize)
{
    const double ratio = imageSize == 0 ? 0.0 : static_cast<double>(payloadSize) / static_cast<double>(imageSize);
    char text[160];
    std::snprintf(text, sizeof text, "%llu %s, image %llu bytes, payload %llu bytes, ratio %.1f%%",
                  static_cast<unsigned long long>(entries), entries == 1 ? "entry" : "entries",
                  static_cast<unsigned long long>(imageSize), static_cast<unsigned long long>(payloadSize),
                  100 * ratio);
    return text;
}

double CRunClock::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void PrintSummary(const std::string& what, uint64_t entries, uint64_t imageSize, uint64_t payloadSize,
                  const CRunClock& clock)
{
    std::fprintf(stderr, "kwz: %s: %s, %.1f s\n", what.c_str(), TotalsText(entries, imageSize, payloadSize).c_str(),
                 clock.Seconds());
}
