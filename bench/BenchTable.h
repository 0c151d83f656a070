// Collects the benchmark's runs and prints them as two tables. The first, per
// corpus: the compressed sizes, then encode and decode throughput of ours
// (the exact parse), the baseline and zlib, with the ratios. The second: the
// smallest parse against the exact one, size, encode throughput and the
// decode throughput of its stream. Throughput is MB (10^6 bytes) of
// uncompressed data per second of CPU time, the best of a benchmark's
// repetitions.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

enum class BenchColumn {
    kOursEncode,
    kBaselineEncode,
    kZlibEncode,
    kOursDecode,
    kBaselineDecode,
    kZlibDecode,
    kSmallestEncode,  // our encoder with the smallest parse
    kSmallestDecode,  // our decoder on the smallest parse's stream
};

class CBenchTable : public benchmark::BenchmarkReporter {
public:
    // The name under which the benchmark of column on corpus is registered.
    static std::string Name(const std::string& corpus, BenchColumn column);

    // A row, in the order of the table; sizes are in bytes.
    void AddCorpus(const std::string& corpus, size_t size, size_t oursSize, size_t zlibSize, size_t smallestSize);

    // Whether a run was skipped because its output was wrong.
    bool Failed() const { return failed; }

    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    struct Row {
        std::string corpus;
        size_t size;
        size_t oursSize;
        size_t zlibSize;
        size_t smallestSize;
    };

    void PrintCodecTable() const;
    void PrintParseTable() const;
    double Rate(const Row& row, BenchColumn column) const;

    std::vector<Row> rows;
    std::map<std::string, double> bestSeconds;  // by benchmark name
    bool failed = false;
};
