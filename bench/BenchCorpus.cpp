#include "bench/BenchCorpus.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool EndsWithDll(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".dll";
}

// The DLLs that packages hold, sorted by path.
std::vector<std::string> PackageDlls(const char* packages)
{
    const std::string command = std::string("dpkg-query -L ") + packages + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        throw std::runtime_error("cannot run dpkg-query");
    std::vector<std::string> paths;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string path(line);
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
            path.pop_back();
        std::error_code error;
        if (EndsWithDll(path) && fs::is_regular_file(fs::symlink_status(path, error)))
            paths.push_back(path);
    }
    pclose(pipe);
    std::sort(paths.begin(), paths.end());
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
    return paths;
}

std::string MiB(size_t bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f MiB", bytes / 1048576.0);
    return text;
}

}  // namespace

BenchCorpus PeCorpus(size_t limit)
{
    std::string origin = "wine32 DLLs";
    std::vector<std::string> paths = PackageDlls("wine32:i386 libwine:i386");
    if (paths.empty()) {
        // A host without i386 packages: 64-bit programs compress much alike,
        // but the figures are not those of the usual corpus.
        origin = "wine64 DLLs (wine32 is not installed; figures differ from the wine32 corpus)";
        paths = PackageDlls("wine64 libwine:amd64");
    }
    if (paths.empty())
        throw std::runtime_error("no DLLs of wine32:i386 or wine64 found (run scripts/install-deps.sh)");
    BenchCorpus corpus{"PE", "", ""};
    size_t used = 0;
    for (const std::string& path : paths) {
        if (corpus.data.size() >= limit)
            break;
        corpus.data += ReadWhole(path);
        ++used;
    }
    corpus.data.resize(std::min(corpus.data.size(), limit));
    corpus.description = MiB(corpus.data.size()) + ": the first " + std::to_string(used) + " of " +
                         std::to_string(paths.size()) + " " + origin + " (" + paths.front() + " ...)";
    return corpus;
}

BenchCorpus TextCorpus()
{
    const std::string folder = "/usr/share/common-licenses";
    std::vector<std::string> paths;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && !entry.is_symlink())
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    BenchCorpus corpus{"text", "", ""};
    for (const std::string& path : paths)
        corpus.data += ReadWhole(path);
    if (corpus.data.empty())
        throw std::runtime_error("no licence texts in " + folder);
    corpus.description = MiB(corpus.data.size()) + ": " + std::to_string(paths.size()) + " licence texts of " + folder;
    return corpus;
}

BenchCorpus RandomCorpus(size_t size, uint64_t seed)
{
    BenchCorpus corpus{"random", "", ""};
    corpus.data.resize(size);
    // splitmix64: the same bytes for a seed on every platform.
    uint64_t state = seed;
    for (size_t i = 0; i < size; i += 8) {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        for (size_t k = 0; k < 8 && i + k < size; ++k)
            corpus.data[i + k] = static_cast<char>(z >> (8 * k));
    }
    char text[64];
    std::snprintf(text, sizeof text, " of pseudo-random bytes, seed %#llx", static_cast<unsigned long long>(seed));
    corpus.description = MiB(size) + text;
    return corpus;
}
