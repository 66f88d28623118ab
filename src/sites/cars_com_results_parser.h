#pragma once

#include <string>

#include "sites/car_results_parser.h"

namespace trawlix {

// Reads a Cars.com results page: one "vehicleInfoColumn" cell per ad.
class TCarsComSiteResultsParser : public TCarSiteResultsParser {
public:
    explicit TCarsComSiteResultsParser(std::string aHost = "www.cars.com");

private:
    bool ParseAd(const std::string& aBlock) override;

    TCRegEx fRegExHeader;
    TCRegEx fRegExHref;
    TCRegEx fRegExPrice;
    TCRegEx fRegExDescription;
    TCRegEx fRegExPhone;
};

}  // namespace trawlix
