// Runs a fuzz target without libFuzzer: every file named on the command line,
// and every file in every folder named there (in name order), is fed once to
// LLVMFuzzerTestOneInput. So the corpora run as ordinary tests, under the
// sanitizers of the test build.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!fs::exists(argv[i])) {
            std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
            return 1;
        }
        if (!fs::is_directory(argv[i])) {
            inputs.push_back(argv[i]);
            continue;
        }
        const size_t before = inputs.size();
        for (const auto& entry : fs::directory_iterator(argv[i]))
            if (entry.is_regular_file())
                inputs.push_back(entry.path());
        // A target without seeds would pass without testing anything.
        if (inputs.size() == before) {
            std::fprintf(stderr, "replay: the corpus %s holds no inputs\n", argv[i]);
            return 1;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    for (const fs::path& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "replay: cannot read %s\n", path.string().c_str());
            return 1;
        }
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // An exact-size heap copy, as libFuzzer passes it.
        std::vector<uint8_t> copy(bytes);
        std::printf("%s (%zu bytes)\n", path.filename().string().c_str(), copy.size());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(copy.empty() ? nullptr : copy.data(), copy.size());
    }
    std::printf("replayed %zu inputs\n", inputs.size());
    return 0;
}
