// Replays kept fuzzing inputs without libFuzzer: every regular file under the
// folders given is fed to every fuzz target, in name order. A fault aborts,
// and the line printed before it names the input.
//   fuzz_replay FOLDER...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_targets.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_replay FOLDER...\n");
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i], ec))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        if (ec) {
            std::fprintf(stderr, "fuzz_replay: %s: %s\n", argv[i], ec.message().c_str());
            return 1;
        }
    }
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "fuzz_replay: cannot read %s\n", path.c_str());
            return 1;
        }
        std::printf("%s\n", path.c_str());
        std::fflush(stdout);
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
        hxrate::fuzz::caseFile(data, bytes.size());
#ifdef HXRATE_FUZZ_REPORT
        hxrate::fuzz::report(data, bytes.size());
#endif
    }
    std::printf("fuzz_replay: %zu inputs, no fault\n", inputs.size());
    return 0;
}
