// A feed of any content must give items or nothing, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/results_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    static trawlix::TBaseResultsParser parser;
    int reported = 0;
    parser.SetOnResultParsed([&](const trawlix::TParsedResult&) { ++reported; });
    parser.SetHTML(std::string(reinterpret_cast<const char*>(aData), aSize));
    if (parser.Parse() != reported) __builtin_trap();
    return 0;
}
