// Runs a fuzz target once on every file of the given files and folders, for
// builds without libFuzzer: plain CTest replays the seeds and the crashers.
#include "fuzz_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;

int main(int argc, char **argv) {
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path p(argv[i]);
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            for (const auto &e : fs::recursive_directory_iterator(p)) {
                if (e.is_regular_file() && e.path().filename().string()[0] != '.') {
                    inputs.push_back(e.path());
                }
            }
        } else if (fs::is_regular_file(p, ec)) {
            inputs.push_back(p);
        }
        // A folder that does not exist (no crasher kept yet) is not an error.
    }
    std::sort(inputs.begin(), inputs.end());
    if (inputs.empty()) {
        std::fprintf(stderr, "no inputs found\n");
        return 2;
    }
    for (const fs::path &p : inputs) {
        const std::vector<uint8_t> data = fuzz::read_bytes(p.string());
        std::fprintf(stderr, "%s (%zu bytes)\n", p.c_str(), data.size());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return 0;
}
