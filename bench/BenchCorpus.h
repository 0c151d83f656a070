// The benchmark's inputs. Each is built the same way on every run, so that
// tables from different runs (and machines with the same packages) compare.
#pragma once

#include <cstdint>
#include <string>

struct BenchCorpus {
    std::string name;
    std::string description;
    std::string data;
};

// The 32-bit Windows DLLs of Debian's wine32 (shipped in its libwine:i386
// dependency), sorted by path, concatenated and cut at limit bytes. Where
// wine32 is not installed, the 64-bit ones of wine64, as the description says.
BenchCorpus PeCorpus(size_t limit);

// The licence texts of /usr/share/common-licenses (regular files only, the
// symbolic links to them left out), sorted by name and concatenated.
BenchCorpus TextCorpus();

// size pseudo-random bytes from a fixed seed.
BenchCorpus RandomCorpus(size_t size, uint64_t seed);
