#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "engine/regex.h"
#include "engine/results_parser.h"
#include "sites/craig_today_query.h"

namespace trawlix {

// What the Craigslist adapter tells its parser about the answer in hand, and hears back.
struct TCraigAnswerContext {
    std::string route = "classic";  // the request that gave the answer: "json", "page", "classic"
    bool hasRequest = false;        // today's request below applies
    TCraigTodayRequest request;
    std::string domain = "craigslist.org";
    std::string problem;            // why today's routes gave no answer the program reads
    int itemsSkipped = 0;           // items of the last answer left out for their shape
};

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
    // Today's answers: the JSON search and the search page's static list.
    int ParseJsonSearch();
    int ParseSearchPage();
    // What the adapter tells this parser about the answer in hand, and hears back.
    TCraigAnswerContext& GetContext() { return fContext; }
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
    TCraigAnswerContext fContext;
};

// The price text of a Craigslist title ("" when it shows none), read by ReadPrice.
std::string CraigsPriceText(const std::string& aTitle);

}  // namespace trawlix
