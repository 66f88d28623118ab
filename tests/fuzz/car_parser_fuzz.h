#pragma once

// A car site's results page of any content must give ads or nothing, never a crash or a
// hang; every ad reported has a title and a full link, and the count matches the reports.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "sites/car_results_parser.h"

inline void FuzzCarParser(trawlix::TCarSiteResultsParser& aParser, const uint8_t* aData, size_t aSize) {
    int reported = 0;
    aParser.SetOnResultParsed([&](const trawlix::TParsedResult& aResult) {
        if (aResult.name.empty() || aResult.link.rfind("http", 0) != 0) __builtin_trap();
        ++reported;
    });
    aParser.SetHTML(std::string(reinterpret_cast<const char*>(aData), aSize));
    try {
        if (aParser.Parse() != reported) __builtin_trap();
    } catch (const std::runtime_error&) {
        // A pattern that gives up on a hostile page ends the site's run: allowed.
    }
}
