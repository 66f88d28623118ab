#pragma once

#include <string>

#include "engine/regex.h"
#include "engine/results_parser.h"

namespace trawlix {

// Reads Craigslist's HTML listings: category listing pages (ads under day headings) when
// the search is set to category listings only, query result pages otherwise.
class TCraigSiteResultsParser : public TBaseResultsParser {
public:
    // Where the site serves the pictures named by "images:" ids.
    static constexpr const char* kDefaultImageBaseURL = "http://images.craigslist.org/";

    TCraigSiteResultsParser();

    int Parse() override;
    int ParseCatListings();
    int ParseQueryListings();
    std::string ExtractImageUrl(const std::string& aEntryHtml);

    const std::string& GetImageBaseURL() const { return fImageBaseURL; }
    void SetImageBaseURL(std::string aURL) { fImageBaseURL = std::move(aURL); }

private:
    void ReportAd(const std::string& aDate, const std::string& aRawLink, const std::string& aRawTitle,
                  const std::string& aAdHtml);
    std::string ListingBeforeEndMarker(std::string aRest);

    TCRegEx fRegExQueryListings;
    TCRegEx fRegExpDateHeading;
    TCRegEx fRegExpDateBlockEnd;
    TCRegEx fRegExpAds;
    TCRegEx fRegExDisplaying;
    TCRegEx fRegExListingEnd;
    std::string fImageBaseURL = kDefaultImageBaseURL;
};

// The price text of a Craigslist title ("" when it shows none), read by ReadPrice.
std::string CraigsPriceText(const std::string& aTitle);

}  // namespace trawlix
