#pragma once

#include <string>

#include "engine/regex.h"
#include "engine/results_parser.h"

namespace trawlix {

// Reads a Cars.com results page: one "vehicleInfoColumn" cell per ad. The site never
// says that a page lies beyond the last one, so every page of a query is fetched.
// Unlike the feed parser, a pattern that gives up on a hostile page raises: the site's
// run then ends, as it does for any page that cannot be read.
class TCarsComSiteResultsParser : public TBaseResultsParser {
public:
    explicit TCarsComSiteResultsParser(std::string aHost = "www.cars.com");

    int Parse() override;

    // The host the ads' links are put on.
    const std::string& GetHost() const { return fHost; }

private:
    bool ParseAd(const std::string& aBlock);

    std::string fHost;
    TCRegEx fRegExAd;
    TCRegEx fRegExHeader;
    TCRegEx fRegExHref;
    TCRegEx fRegExPrice;
    TCRegEx fRegExDescription;
    TCRegEx fRegExPhone;
};

// Prices as the car sites write them ("$12,995"): thousands separators go before reading.
double CarPrice(std::string aPriceText);
// An ad's link: an address on aHost for a path, an absolute address as it is.
std::string CarAdLink(const std::string& aHost, const std::string& aHref);

}  // namespace trawlix
