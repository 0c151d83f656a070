#include "bench/BenchTable.h"

#include <cstdio>

namespace {

const char* const kColumnNames[] = {"ours/encode", "baseline/encode", "zlib/encode",   "ours/decode",
                                    "baseline/decode", "zlib/decode", "smallest/encode", "smallest/decode"};

std::string Cell(double value, const char* format)
{
    if (value <= 0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

double Ratio(double a, double b)
{
    return a > 0 && b > 0 ? a / b : 0;
}

double Percent(size_t part, size_t whole)
{
    return 100.0 * static_cast<double>(part) / static_cast<double>(whole);
}

}  // namespace

std::string CBenchTable::Name(const std::string& corpus, BenchColumn column)
{
    return corpus + "/" + kColumnNames[static_cast<int>(column)];
}

void CBenchTable::AddCorpus(const std::string& corpus, size_t size, size_t oursSize, size_t zlibSize,
                            size_t smallestSize)
{
    rows.push_back(Row{corpus, size, oursSize, zlibSize, smallestSize});
}

bool CBenchTable::ReportContext(const Context& context)
{
    std::printf("%d CPUs at %.0f MHz; each figure is the best of its repetitions (CPU time)\n",
                context.cpu_info.num_cpus, context.cpu_info.cycles_per_second / 1e6);
    std::fflush(stdout);
    return true;
}

void CBenchTable::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.error_occurred) {
            std::fprintf(stderr, "\nkwo_bench: %s: %s\n", run.benchmark_name().c_str(), run.error_message.c_str());
            failed = true;
            continue;
        }
        if (run.run_type != Run::RT_Iteration || run.iterations == 0)
            continue;
        const std::string name = run.run_name.function_name;
        const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
        auto found = bestSeconds.find(name);
        if (found == bestSeconds.end() || seconds < found->second)
            bestSeconds[name] = seconds;
        if (run.repetition_index + 1 == run.repetitions || run.repetitions <= 1) {
            std::fprintf(stderr, ".");
            std::fflush(stderr);
        }
    }
}

double CBenchTable::Rate(const Row& row, BenchColumn column) const
{
    auto found = bestSeconds.find(Name(row.corpus, column));
    if (found == bestSeconds.end() || found->second <= 0)
        return 0;
    return static_cast<double>(row.size) / found->second / 1e6;
}

void CBenchTable::Finalize()
{
    std::fprintf(stderr, "\n");
    PrintCodecTable();
    PrintParseTable();
    std::fflush(stdout);
}

void CBenchTable::PrintCodecTable() const
{
    std::printf("\n"
                "| corpus | size %% ours | size %% zlib | size ours/zlib "
                "| encode MB/s ours | baseline | zlib -9 | ours/baseline | ours/zlib "
                "| decode MB/s ours | baseline | zlib | ours/zlib |\n"
                "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
    for (const Row& row : rows) {
        const double oursPercent = Percent(row.oursSize, row.size);
        const double zlibPercent = Percent(row.zlibSize, row.size);
        const double encOurs = Rate(row, BenchColumn::kOursEncode);
        const double encBase = Rate(row, BenchColumn::kBaselineEncode);
        const double encZlib = Rate(row, BenchColumn::kZlibEncode);
        const double decOurs = Rate(row, BenchColumn::kOursDecode);
        const double decBase = Rate(row, BenchColumn::kBaselineDecode);
        const double decZlib = Rate(row, BenchColumn::kZlibDecode);
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", row.corpus.c_str(),
                    Cell(oursPercent, "%.1f").c_str(), Cell(zlibPercent, "%.1f").c_str(),
                    Cell(Ratio(oursPercent, zlibPercent), "%.2f").c_str(), Cell(encOurs, "%.1f").c_str(),
                    Cell(encBase, "%.1f").c_str(), Cell(encZlib, "%.1f").c_str(),
                    Cell(Ratio(encOurs, encBase), "%.2f").c_str(), Cell(Ratio(encOurs, encZlib), "%.2f").c_str(),
                    Cell(decOurs, "%.0f").c_str(), Cell(decBase, "%.0f").c_str(), Cell(decZlib, "%.0f").c_str(),
                    Cell(Ratio(decOurs, decZlib), "%.2f").c_str());
    }
}

void CBenchTable::PrintParseTable() const
{
    std::printf("\n"
                "| corpus | size %% exact | size %% smallest | smaller by %% "
                "| encode MB/s exact | smallest | smallest/exact "
                "| decode MB/s exact stream | smallest stream | smallest/exact |\n"
                "|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
    for (const Row& row : rows) {
        const double exactPercent = Percent(row.oursSize, row.size);
        const double smallestPercent = Percent(row.smallestSize, row.size);
        // Never negative: the benchmark stops before the table when the
        // smallest parse is longer than the exact one.
        char smallerBy[32];
        std::snprintf(smallerBy, sizeof smallerBy, "%.2f", 100.0 - Percent(row.smallestSize, row.oursSize));
        const double encExact = Rate(row, BenchColumn::kOursEncode);
        const double encSmallest = Rate(row, BenchColumn::kSmallestEncode);
        const double decExact = Rate(row, BenchColumn::kOursDecode);
        const double decSmallest = Rate(row, BenchColumn::kSmallestDecode);
        std::printf("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n", row.corpus.c_str(),
                    Cell(exactPercent, "%.2f").c_str(), Cell(smallestPercent, "%.2f").c_str(),
                    smallerBy,
                    Cell(encExact, "%.1f").c_str(), Cell(encSmallest, "%.1f").c_str(),
                    Cell(Ratio(encSmallest, encExact), "%.2f").c_str(), Cell(decExact, "%.0f").c_str(),
                    Cell(decSmallest, "%.0f").c_str(), Cell(Ratio(decSmallest, decExact), "%.2f").c_str());
    }
}
