#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawlix {

struct TCraigJsonAd;

// The keyword line split into what today's query carries (words and "phrases" that must
// all match) and what the program checks itself on each ad's title (alternatives and
// exclusions), so that the ads kept are those the keyword syntax means.
struct TCraigKeywordQuery {
    std::string siteQuery;
    std::vector<std::vector<std::string>> alternatives;  // one of each group, lower case
    std::vector<std::string> excluded;                   // none of these, lower case
    std::vector<std::string> required;                   // the site query's terms, lower case

    static TCraigKeywordQuery FromKeywords(const std::string& aKeywords);
    // Whether an ad titled aTitle is one the keywords mean.
    bool TitlePasses(std::string_view aTitle) const;
    // Whether the title also holds every term the site query would have asked for.
    bool TitleHasAll(std::string_view aTitle) const;
};

// What an ad must show for a search whose conditions the program checks itself.
struct TCraigLocalChecks {
    std::optional<double> minPrice;
    std::optional<double> maxPrice;
    bool withPictures = false;
};

// What today's site is asked for one link of a search, and what the program checks itself.
struct TCraigTodayRequest {
    std::string host;      // "sfbay"
    std::string subArea;   // "eby", empty for the whole area
    std::string category;  // "bik"
    std::string params;    // "&min_price=50&hasPic=1..." (today's names), the query excluded
    int page = 1;
    std::vector<std::string> neighbourhoods;  // lower-case names; empty for all of them
    TCraigKeywordQuery keywords;
    // Set for a watcher's poll: the JSON search is asked for the area and category alone,
    // newest first, so that every search there shares one answer, and the search's own
    // words, prices and pictures are checked here on each ad.
    bool shared = false;
    TCraigLocalChecks local;

    // Whether an ad of aSubArea in aPlace titled aTitle belongs to this request's answer.
    bool AdPasses(std::string_view aTitle, std::string_view aSubArea, std::string_view aPlace) const;
    // The same for an ad of the JSON search, with the checks of a shared request.
    bool JsonAdPasses(const TCraigJsonAd& aAd) const;
    // Makes the request shared when every condition of params is one an ad of the JSON
    // answer shows; false (and unchanged) otherwise.
    bool ShareWhenCheckable();
};

// Ads per batch of the JSON search, and per page of the search page.
inline constexpr int cCraigBatchSize = 360;

// https://sapi.DOMAIN/web/v8/postings/search/full?batch=AREA-OFFSET-360-0-0&...
std::string CraigJsonSearchURL(const TCraigTodayRequest& aRequest, long aAreaId, const std::string& aDomain);
// https://HOST.DOMAIN/search/[SUBAREA/]CATEGORY?query=...
std::string CraigSearchPageURL(const TCraigTodayRequest& aRequest, const std::string& aDomain);

}  // namespace trawlix
