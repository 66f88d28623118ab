#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/entry.h"
#include "model/places.h"
#include "run/site_search_run.h"
#include "sites/craig_today_query.h"

namespace trawlix {

class TPlaceWrapperList;
struct TCraigAnswerContext;

// Craigslist: one query per city (or sub-area), category and page, built from the city's
// home page URL in the place tree and the category's code. Each query is asked of today's
// site first (its JSON search, then its search page) and then as the classic page of the
// link, so that servers that still speak the old pages keep working; which format an
// answer holds is read from the answer.
class TCraigSiteSearch : public TSiteSearchRun {
public:
    explicit TCraigSiteSearch(TSearch* aParentSearch);

    std::unique_ptr<TBaseResultsParser> CreateResultsParser() override;
    std::vector<std::string> MakeSearchLinks(TBaseSearchThread& aThread) override;
    ICHTTPClient GetDownloader() override;
    std::string GetLinkWithoutPage(const std::string& aSourceLink) override;
    std::string DownloadPage(const std::string& aURL, const std::string& aSearchLink, TBaseResultsParser& aParser,
                             TDownloadFailure& aFailure) override;
    void PageParsed(TBaseResultsParser& aParser, int aAdsFound, bool aBlockPage) override;

    // The query URL for one place, category and page; empty when they give none.
    // Call with the search's lock held.
    std::string MakeSearchLink(const TPlace& aLocation, const TPlace& aCategory, int aPageToDisplay);
    // The children of aPlace, in their order, that the search has selected.
    void GetCheckedNeighbourhoods(const TPlace& aPlace, TPlaceList& aList);
    // What today's site is asked for the same place, category and page; none for a
    // section the site closed (personals). Call with the search's lock held.
    std::optional<TCraigTodayRequest> MakeTodayRequest(const TPlace& aLocation, const TPlace& aCategory,
                                                       int aPageToDisplay);

private:
    std::string CategoryOptions(const TPlace& aCategory) const;
    std::string TodayOptions(const TPlace& aCategory) const;
    std::string NeighbourhoodParams(const TPlace& aLocation);
    std::string TryTodayRoutes(TCraigAnswerContext& aContext, TDownloadFailure& aRefusal);

    std::mutex fTodayMutex;
    std::map<std::string, TCraigTodayRequest> fTodayRequests;  // by the link's URL
};

// Why an ad is reported to Craigslist; the values are the site's flag codes.
enum class TCraigFlagCode { Spam = 15, Miscategorized = 16, Prohibited = 28, Best = 9 };

// The report address for one Craigslist ad, empty when the link is not on aDomain.
std::string CraigFlagURL(const std::string& aLink, TCraigFlagCode aCode, const std::string& aDomain);
// Reports every Craigslist entry of aEntries (the others are skipped) through the
// Craigslist client, so the program's proxy settings apply. Returns how many reports
// reached the site (an answer came back).
int FlagCraigslistEntries(const std::vector<IEntry>& aEntries, TCraigFlagCode aCode, const std::string& aDomain);

}  // namespace trawlix
