// A Craigslist page of any content must give ads or nothing, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sites/craig_results_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    static trawlix::TCraigSiteResultsParser parser;
    std::string page(reinterpret_cast<const char*>(aData), aSize);
    for (bool categoryListing : {false, true}) {
        parser.SetOnlyCatListings(categoryListing);
        parser.SetSearchLinkPagesOverflow(false);
        int reported = 0;
        parser.SetOnResultParsed([&](const trawlix::TParsedResult&) { ++reported; });
        parser.SetHTML(page);
        int count = parser.Parse();
        if (count != reported && count != 0) __builtin_trap();
    }
    return 0;
}
