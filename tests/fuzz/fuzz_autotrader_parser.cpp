// An Autotrader results page of any content must give ads or nothing, never a crash or a hang.
#include "engine/autotrader_results_parser.h"
#include "car_parser_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    static trawlix::TAutotraderSiteResultsParser parser;
    FuzzCarParser(parser, aData, aSize);
    return 0;
}
