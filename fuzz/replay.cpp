// Replays a fuzz target's corpus without libFuzzer, through the plugin as
// a host loads it (the shared library or the DLL): each file of the folder,
// in name order, is handed to the target once. A broken promise aborts, as
// under the fuzzer.
//
//   replay_TARGET CORPUS [--write ANSWERS | --expect ANSWERS]
//
// --write records every answer the target got, one line per file;
// --expect compares them with such a record, so that the builds of every
// platform can be held to the same answers.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
    const bool write = argc == 4 && std::string(argv[2]) == "--write";
    const bool expect = argc == 4 && std::string(argv[2]) == "--expect";
    if (argc != 2 && !write && !expect) {
        std::fprintf(stderr, "usage: replay CORPUS [--write ANSWERS | --expect ANSWERS]\n");
        return 2;
    }
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        if (entry.is_regular_file()) files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "replay: no corpus in %s\n", argv[1]);
        return 2;
    }

    std::string answers;
    for (const auto& path : files) {
        const std::string input = ReadFile(path);
        std::string line;
        qtr::fuzz::gTranscript = &line;
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
        qtr::fuzz::gTranscript = nullptr;
        answers += path.filename().string() + ": " + line + "\n";
    }
    std::printf("replay: %zu inputs of %s\n", files.size(), argv[1]);

    if (write) {
        std::ofstream(argv[3], std::ios::binary) << answers;
    } else if (expect) {
        const std::string expected = ReadFile(argv[3]);
        if (answers != expected) {
            size_t at = 0;
            while (at < answers.size() && at < expected.size() && answers[at] == expected[at]) ++at;
            const size_t line = static_cast<size_t>(std::count(answers.begin(), answers.begin() + at, '\n'));
            std::fprintf(stderr, "replay: answers differ from %s from line %zu on\n", argv[3], line + 1);
            return 1;
        }
        std::printf("replay: answers equal to %s\n", argv[3]);
    }
    return 0;
}
