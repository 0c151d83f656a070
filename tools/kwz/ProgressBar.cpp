#include "tools/kwz/ProgressBar.h"

#include "tools/kwz/FileHandle.h"
#include "tools/kwz/Interrupt.h"

#include <cstdio>

namespace {

constexpr int kBarWidth = 24;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

bool ShowProgress(bool quiet)
{
    return !quiet && Platform::IsTerminal(2);
}

std::string ByteSize(uint64_t bytes)
{
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string ProgressLine(const char* label, uint64_t done, uint64_t total, double seconds)
{
    if (done > total)
        done = total;
    const double fraction = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string line = std::string(label) + "  [" + std::string(static_cast<size_t>(filled), '#') +
                       std::string(static_cast<size_t>(kBarWidth - filled), '.') + "]  ";
    char percent[8];
    std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(fraction * 100));
    line += percent;
    line += "  " + ByteSize(done) + " / " + ByteSize(total);
    if (seconds >= 0.2)
        line += "  " + ByteSize(static_cast<uint64_t>(static_cast<double>(done) / seconds)) + "/s";
    return line;
}

CProgressBar::CProgressBar(const char* label_, uint64_t total_, bool enabled_)
    : label(label_), total(total_), enabled(enabled_), start(std::chrono::steady_clock::now()), lastDraw(start)
{
}

CProgressBar::~CProgressBar()
{
    if (drawn)
        std::fputc('\n', stderr);
}

double CProgressBar::Seconds() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void CProgressBar::Draw(uint64_t done)
{
    // Padding wipes what a longer earlier line left behind.
    std::fprintf(stderr, "\r%-78s", ProgressLine(label, done, total, Seconds()).c_str());
    std::fflush(stderr);
    drawn = true;
}

void CProgressBar::Update(uint64_t done)
{
    // Every long piece of work reports here, so it is where an interruption
    // is noticed on Windows.
    Interrupt::Poll();
    if (!enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn && now - lastDraw < kRedrawInterval)
        return;
    lastDraw = now;
    Draw(done);
}

void CProgressBar::Finish()
{
    if (!enabled)
        return;
    Draw(total);
    std::fputc('\n', stderr);
    drawn = false;
}

void CProgressBar::CodecCallback(uint32_t count, void* context)
{
    static_cast<CProgressBar*>(context)->Update(count);
}
