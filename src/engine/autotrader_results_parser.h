#pragma once

#include <string>

#include "engine/regex.h"
#include "engine/results_parser.h"

namespace trawlix {

// Reads an Autotrader results page: one "search-result" block per ad, each running to the
// next block or, for the last ad of the page, to the end of the page. The site never says
// that a page lies beyond the last one. A pattern that gives up on a hostile page raises:
// the site's run then ends, as it does for any page that cannot be read.
class TAutotraderSiteResultsParser : public TBaseResultsParser {
public:
    explicit TAutotraderSiteResultsParser(std::string aHost = "www.autotrader.com");

    int Parse() override;

    const std::string& GetHost() const { return fHost; }

private:
    bool ParseAd(const std::string& aBlock);

    std::string fHost;
    TCRegEx fRegExAd;
    TCRegEx fRegExTitle;
    TCRegEx fRegExLink;
    TCRegEx fRegExPrice;
    TCRegEx fRegExDescription;
    TCRegEx fRegExPhone;
    TCRegEx fRegExPhotos;
};

}  // namespace trawlix
