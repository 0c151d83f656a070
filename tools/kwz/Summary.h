// The totals that list prints and that pack, stamp and unpack end with.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// "5 entries, image 758861 bytes, payload 403770 bytes, ratio 53.2%": the
// ratio is the payload's size over the image's.
std::string TotalsText(uint64_t entries, uint64_t imageSize, uint64_t payloadSize);

// A command's run time, from construction.
class CRunClock {
public:
    CRunClock() : start(std::chrono::steady_clock::now()) {}
    double Seconds() const;

private:
    std::chrono::steady_clock::time_point start;
};

// The closing line on standard error: "kwz: WHAT: TOTALS, 1.2 s". Standard
// output stays for what a command writes there (an output of -).
void PrintSummary(const std::string& what, uint64_t entries, uint64_t imageSize, uint64_t payloadSize,
                  const CRunClock& clock);
