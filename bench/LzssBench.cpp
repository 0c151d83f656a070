// `make bench`: our LZSS codec against zlib (deflate -9 / inflate), our
// encoder against the straightforward baseline, and its smallest parse
// against its exact one, on Windows PE binaries, text and random bytes. Every
// run is checked: decoders must give the corpus back, the baseline must
// produce our encoder's bytes, and the smallest parse's stream must decode
// back and be no longer than the exact one's.
#include "archive/LzssCodec.h"
#include "archive/LzssSmallestCodec.h"
#include "base/KwoException.h"
#include "bench/BenchCorpus.h"
#include "bench/BenchTable.h"
#include "bench/BenchZlib.h"
#include "bench/baseline/BaselineLzssCodec.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

constexpr size_t kPeLimit = 8u << 20;
constexpr size_t kRandomSize = 4u << 20;
constexpr uint64_t kRandomSeed = 0x4B574F5345454431ull;

// The extraction worker's schedule: a callback every hundredth of the input.
void CountProgress(uint32_t count, void* context)
{
    *static_cast<uint32_t*>(context) = count;
}

template <typename Codec>
std::string RunLzss(bool encode, const std::string& input)
{
    std::istringstream in(input);
    std::ostringstream out;
    std::unique_ptr<CCodec> codec(new Codec);
    uint32_t last = 0;
    const uint32_t stride = static_cast<uint32_t>(input.size() / 100);
    if (encode)
        codec->Encode(in, out, CountProgress, &last, stride);
    else
        codec->Decode(in, out, CountProgress, &last, stride);
    return out.str();
}

// One complete codec run per iteration, as a program makes it: a fresh codec
// object, in-memory streams. Setting up the input stream and taking the
// output apart are not timed.
template <typename Codec>
void BenchLzss(benchmark::State& state, bool encode, const std::string* input, const std::string* expected)
{
    const uint32_t stride = static_cast<uint32_t>(input->size() / 100);
    for (auto _ : state) {
        state.PauseTiming();
        auto in = std::make_unique<std::istringstream>(*input);
        auto out = std::make_unique<std::ostringstream>();
        uint32_t last = 0;
        state.ResumeTiming();
        {
            std::unique_ptr<CCodec> codec(new Codec);
            if (encode)
                codec->Encode(*in, *out, CountProgress, &last, stride);
            else
                codec->Decode(*in, *out, CountProgress, &last, stride);
        }
        state.PauseTiming();
        const bool same = out->str() == *expected;
        in.reset();
        out.reset();
        state.ResumeTiming();
        if (!same) {
            state.SkipWithError("the output is not what was expected");
            break;
        }
    }
}

void BenchDeflate(benchmark::State& state, const std::string* input)
{
    std::vector<unsigned char> output;
    for (auto _ : state)
        ZlibDeflate(*input, output);
}

void BenchInflate(benchmark::State& state, const std::vector<unsigned char>* input, const std::string* expected)
{
    std::vector<unsigned char> output(expected->size());
    for (auto _ : state)
        ZlibInflate(*input, output);
    if (std::memcmp(output.data(), expected->data(), output.size()) != 0)
        state.SkipWithError("inflate did not give the input back");
}

struct Prepared {
    BenchCorpus corpus;
    std::string ours;                 // our encoder's stream
    std::vector<unsigned char> zlib;  // deflate -9
    std::string smallest;             // our encoder's stream with the smallest parse
};

void Register(const Prepared& p, CBenchTable& table)
{
    const std::string& name = p.corpus.name;
    auto add = [&](BenchColumn column, int repetitions, auto&& fn) {
        benchmark::RegisterBenchmark(CBenchTable::Name(name, column).c_str(), fn)
            ->Iterations(1)
            ->Repetitions(repetitions)
            ->Unit(benchmark::kMillisecond);
    };
    const std::string* plain = &p.corpus.data;
    const std::string* ours = &p.ours;
    add(BenchColumn::kOursEncode, 3,
        [=](benchmark::State& s) { BenchLzss<CLzssCodec>(s, true, plain, ours); });
    add(BenchColumn::kBaselineEncode, 2,
        [=](benchmark::State& s) { BenchLzss<CBaselineLzssCodec>(s, true, plain, ours); });
    add(BenchColumn::kZlibEncode, 3, [=](benchmark::State& s) { BenchDeflate(s, plain); });
    add(BenchColumn::kOursDecode, 7,
        [=](benchmark::State& s) { BenchLzss<CLzssCodec>(s, false, ours, plain); });
    add(BenchColumn::kBaselineDecode, 3,
        [=](benchmark::State& s) { BenchLzss<CBaselineLzssCodec>(s, false, ours, plain); });
    const std::vector<unsigned char>* zlib = &p.zlib;
    add(BenchColumn::kZlibDecode, 7, [=](benchmark::State& s) { BenchInflate(s, zlib, plain); });
    const std::string* smallest = &p.smallest;
    add(BenchColumn::kSmallestEncode, 3,
        [=](benchmark::State& s) { BenchLzss<CLzssSmallestCodec>(s, true, plain, smallest); });
    add(BenchColumn::kSmallestDecode, 7,
        [=](benchmark::State& s) { BenchLzss<CLzssCodec>(s, false, smallest, plain); });
    table.AddCorpus(name, p.corpus.data.size(), p.ours.size(), p.zlib.size(), p.smallest.size());
}

void PrintHelp()
{
    std::printf(
        "kwo_bench: the LZSS codec against zlib (deflate -9, inflate), the encoder\n"
        "against the straightforward baseline, and the smallest parse against the\n"
        "exact one, on the wine32 DLLs (first 8 MiB), the licence texts of\n"
        "/usr/share/common-licenses and 4 MiB of seeded random bytes.\n"
        "Prints two tables: compressed size in %% of the input, MB/s of uncompressed\n"
        "data (best repetition, CPU time) and the ratios. Every run is checked.\n"
        "Run it as `make bench`; Google Benchmark's options below narrow it down,\n"
        "e.g. --benchmark_filter='PE/.*/encode'.\n\n");
    benchmark::PrintDefaultHelp();
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv, PrintHelp);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    std::vector<Prepared> prepared;
    try {
        std::vector<BenchCorpus> corpora;
        corpora.push_back(PeCorpus(kPeLimit));
        corpora.push_back(TextCorpus());
        corpora.push_back(RandomCorpus(kRandomSize, kRandomSeed));
        for (BenchCorpus& corpus : corpora) {
            std::printf("%-7s %s\n", corpus.name.c_str(), corpus.description.c_str());
            std::fflush(stdout);
            Prepared p{std::move(corpus), "", {}, ""};
            p.ours = RunLzss<CLzssCodec>(true, p.corpus.data);
            ZlibDeflate(p.corpus.data, p.zlib);
            p.smallest = RunLzss<CLzssSmallestCodec>(true, p.corpus.data);
            if (p.smallest.size() > p.ours.size())
                throw std::runtime_error(p.corpus.name + ": the smallest parse is longer than the exact one");
            prepared.push_back(std::move(p));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kwo_bench: %s\n", e.what());
        return 1;
    } catch (CKwoException* e) {
        std::fprintf(stderr, "kwo_bench: %s\n", e->MessageText().c_str());
        delete e;
        return 1;
    }

    CBenchTable table;
    for (const Prepared& p : prepared)
        Register(p, table);
    benchmark::RunSpecifiedBenchmarks(&table);
    benchmark::Shutdown();
    return table.Failed() ? 1 : 0;
}
