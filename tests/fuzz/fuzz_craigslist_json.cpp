// A JSON search answer of any content must give well-formed ads or a problem, never a crash,
// a hang or an ad without what it is found by.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sites/craig_json_search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    const std::string_view text(reinterpret_cast<const char*>(aData), aSize);
    const trawlix::TCraigJsonSearchAnswer answer = trawlix::ReadCraigJsonSearch(text);
    if (!answer.problem.empty() && !answer.ads.empty()) __builtin_trap();
    for (const trawlix::TCraigJsonAd& ad : answer.ads) {
        if (ad.postingId <= 0 || ad.title.empty() || ad.host.empty() || ad.slug.empty()) __builtin_trap();
        for (char c : ad.title)
            if (static_cast<unsigned char>(c) < 0x20) __builtin_trap();
        if (trawlix::CraigAdAddress(ad, "sss", "craigslist.org").find("..") != std::string::npos) __builtin_trap();
    }
    return 0;
}
