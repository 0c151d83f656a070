// A one-line progress display on standard error for long work: a bar, the
// percentage, bytes done of the total and the rate. It draws only when asked
// to (ShowProgress: a terminal and no -q), so pipes and logs stay clean.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

// True when progress should be drawn: stderr is a terminal and not quiet.
bool ShowProgress(bool quiet);

class CProgressBar {
public:
    CProgressBar(const char* label, uint64_t total, bool enabled);
    // Ends the line if anything was drawn, so later messages start clean.
    ~CProgressBar();
    CProgressBar(const CProgressBar&) = delete;
    CProgressBar& operator=(const CProgressBar&) = delete;

    // Records done bytes; redraws at most ten times a second.
    void Update(uint64_t done);
    // Draws the completed bar and ends the line.
    void Finish();

    // For a codec: count is the bytes moved so far, context the bar.
    static void CodecCallback(uint32_t count, void* context);

private:
    void Draw(uint64_t done);
    double Seconds() const;

    const char* label;
    uint64_t total;
    bool enabled;
    bool drawn = false;
    std::chrono::steady_clock::time_point start;
    std::chrono::steady_clock::time_point lastDraw;
};

// The text of one progress line, e.g.
// "packing  [#########...........]  45%  12.3 MiB / 27.1 MiB  3.2 MiB/s".
// The rate is left out until some time has passed.
std::string ProgressLine(const char* label, uint64_t done, uint64_t total, double seconds);

// A byte count for people: "512 B", "1.5 KiB", "27.1 MiB", "3.0 GiB".
std::string ByteSize(uint64_t bytes);
