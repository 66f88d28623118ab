#pragma once

#include <string>

#include "sites/car_results_parser.h"

namespace trawlix {

// Reads an Autotrader results page: one "search-result" block per ad, each running to the
// next block or, for the last ad of the page, to the end of the page.
class TAutotraderSiteResultsParser : public TCarSiteResultsParser {
public:
    explicit TAutotraderSiteResultsParser(std::string aHost = "www.autotrader.com");

private:
    bool ParseAd(const std::string& aBlock) override;

    TCRegEx fRegExTitle;
    TCRegEx fRegExLink;
    TCRegEx fRegExPrice;
    TCRegEx fRegExDescription;
    TCRegEx fRegExPhone;
    TCRegEx fRegExPhotos;
};

}  // namespace trawlix
