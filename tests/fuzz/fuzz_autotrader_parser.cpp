// An Autotrader results page of any content must give ads or nothing, never a crash or a hang.
#include "car_parser_fuzz.h"
#include "sites/autotrader_results_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    static trawlix::TAutotraderSiteResultsParser parser;
    FuzzCarParser(parser, aData, aSize);
    return 0;
}
