#pragma once

#include <string>

#include "engine/regex.h"
#include "engine/results_parser.h"

namespace trawlix {

// What the car sites' results parsers share: the page is cut into one block per ad, and
// the ads' links are put on the site's host. The sites never say that a page lies beyond
// the last one. Unlike the feed parser, a pattern that gives up on a hostile page raises:
// the site's run then ends, as it does for any page that cannot be read.
class TCarSiteResultsParser : public TBaseResultsParser {
public:
    int Parse() override;

    // The host the ads' links are put on.
    const std::string& GetHost() const { return fHost; }

protected:
    // aAdPattern's group 1 is the block of one ad.
    TCarSiteResultsParser(std::string aHost, const std::string& aAdPattern);

    // Reads and reports the ad of one block; false when the block has none.
    virtual bool ParseAd(const std::string& aBlock) = 0;
    // Reports an ad that has a title and a link; false for one that lacks either.
    bool ReportCarAd(TParsedResult& aResult, const std::string& aPriceText);

    std::string fHost;

private:
    TCRegEx fRegExAd;
};

// An ad's link: an address on aHost for a path, an absolute address as it is.
std::string CarAdLink(const std::string& aHost, const std::string& aHref);

}  // namespace trawlix
