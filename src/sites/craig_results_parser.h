#pragma once

#include <string>
#include <string_view>

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
    std::string ExtractImageUrl(std::string_view aEntryHtml);

    const std::string& GetImageBaseURL() const { return fImageBaseURL; }
    void SetImageBaseURL(std::string aURL) { fImageBaseURL = std::move(aURL); }

private:
    void ReportAd(std::string aDate, std::string_view aRawLink, std::string_view aRawTitle, std::string_view aAdHtml);

    TCRegEx fRegExQueryListings;
    TCRegEx fRegExpDateHeading;
    TCRegEx fRegExpDateBlockEnd;
    TCRegEx fRegExpAds;
    TCRegEx fRegExDisplaying;
    std::string fImageBaseURL = kDefaultImageBaseURL;
    std::string fTitleHtml;
};

// The price text of a Craigslist title ("" when it shows none), read by ReadPrice.
std::string CraigsPriceText(const std::string& aTitle);

}  // namespace trawlix
