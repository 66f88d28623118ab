// Replays a fuzz target's corpus through its harness without libFuzzer, so that every CI
// run checks the saved inputs with the ordinary compiler. Usage: replay_NAME CORPUS_FOLDER.
// A harness that rejects an input traps, which fails the test.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "support/closed_proxies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize);

int main(int argc, char** argv) {
    trawlix::test::CloseProxyVariables();
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " CORPUS_FOLDER\n";
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(argv[1], error))
        if (item.is_regular_file()) inputs.push_back(item.path());
    if (error || inputs.empty()) {
        std::cerr << "no inputs in " << argv[1] << "\n";
        return 1;
    }
    for (const auto& input : inputs) {
        std::ifstream file(input, std::ios::binary);
        const std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        // Each input also as every prefix a cut-off download could leave, a few of them.
        for (size_t cut = data.size() / 4; cut > 0 && cut < data.size(); cut += data.size() / 4)
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), cut);
        std::cout << "replayed " << input.filename().string() << "\n";
    }
    return 0;
}
