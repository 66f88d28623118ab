#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/download.h"
#include "engine/http_client.h"
#include "model/base_site_search.h"
#include "run/site_problem.h"

namespace trawlix {

class TBaseResultsParser;
class TBaseSearchThread;
class TPlace;
class TSiteSearchRun;

// How a site's run reports to its search: the fraction of links done, and errors.
using TSiteSearchProgressEvent = std::function<void(TBaseSiteSearch& aSender, double aProgress)>;
using TSiteSearchErrorEvent = std::function<void(TBaseSiteSearch& aSender, const std::string& aErrorText)>;

// The run side of a search's site part: what the site adapters build on. It starts the
// site's thread, which fetches and parses the pages, and follows its progress. The
// adapters say how to build the links, which HTTP client to use and how to strip paging
// from a link.
class TSiteSearchRun : public TBaseSiteSearch {
public:
    using TBaseSiteSearch::TBaseSiteSearch;

    // A new suspended thread with the site's parser, for the search's pages count.
    std::unique_ptr<TBaseSearchThread> CreateSearchThread();
    // The parser of the site's pages; the shared results parser reads the feed sites.
    virtual std::unique_ptr<TBaseResultsParser> CreateResultsParser();
    // Whether one query spreads over several pages of a link (the thread then strips the
    // page from a link and stops paging once the parser reports the last page).
    virtual bool SearchesMultiplePages() const { return true; }
    // One line per page to fetch: URL, place index, category index and, for sites that
    // page, the page number. Stops early when aThread is asked to stop.
    virtual std::vector<std::string> MakeSearchLinks(TBaseSearchThread& aThread) = 0;
    virtual ICHTTPClient GetDownloader();
    // The link with its page parameter removed: the pages of one query share it.
    virtual std::string GetLinkWithoutPage(const std::string& aSourceLink);
    virtual std::string RemoveRandomParam(const std::string& aSourceLink);
    virtual void CheckForNewResults() {}
    // The page of aURL, aSearchLink being the whole link line it came from, for aParser (the
    // calling thread's). A site that answers in several formats tries them in turn here and
    // tells its parser which one answered; the others download aURL.
    virtual std::string DownloadPage(const std::string& aURL, const std::string& aSearchLink,
                                     TBaseResultsParser& aParser, TDownloadFailure& aFailure);
    // Told after aParser parsed a downloaded page: the ads it gave, whether it looked like a
    // captcha or "blocked" page.
    virtual void PageParsed(TBaseResultsParser& aParser, int aAdsFound, bool aBlockPage);

    // Starts this site's thread; true once it runs.
    bool Search(TSiteSearchProgressEvent aOnProgress, TSiteSearchErrorEvent aOnError);
    void Stop() override;
    bool GetSearching() const;
    // The site's thread has not yet let go of this part and its search (it may still be
    // ending after GetSearching turned false).
    bool GetThreadRunning() const override;
    double GetProgress() const;
    void SetProgress(double aValue);
    // Pages downloaded by the current or last run of this site.
    int GetPagesFetched() const;
    void AddPageFetched();
    // Pages of the current or last run that could not be downloaded, or that ended the
    // site's run with an error.
    int GetPagesFailed() const;
    // aReason: the failure's text, counted by PageFailureReason.
    void AddPageFailed(const std::string& aReason);
    // Ads of the current or last run left out because their page gave them no link.
    int GetItemsSkipped() const;
    void AddItemSkipped();
    // A page the site refused with aStatus (403, 429, 503).
    void AddPageRefused(long aStatus);
    // A captcha or "blocked" page.
    void AddBlockPage();
    void AddAdsParsed(int aCount);
    // An answer of a shape the adapter does not know, and what was wrong with it.
    void AddUnreadablePage(const std::string& aWhy);
    // The kind of answer that served the site's last page ("json", "page", "classic").
    void SetAnswerFormat(const std::string& aFormat);
    std::string GetAnswerFormat() const;
    TSiteRunCounts GetRunCounts() const;
    // The problem the last finished run of this site met in this process; empty when it
    // met none, was stopped, or the site has not run.
    std::string GetLastRunProblem() const;
    bool GetCheckingForNewResults() const { return false; }
    // aThread's last act: tell the search, then forget the thread.
    void OnSearchThreadFinished(const TBaseSearchThread* aThread);

protected:
    using TPairVisit = std::function<void(const TPlace& aPlace, const TPlace& aCategory, int aPlaceIndex,
                                          int aCategoryIndex, int aPage)>;
    // Calls aVisit for every page, category and searched place of the parent search, in
    // that nesting (the order the links are fetched in), with the search's lock held. The
    // search may be edited meanwhile: indexes it no longer has are skipped. Returns early
    // when aThread is asked to stop.
    void ForEachPlaceAndCategory(TBaseSearchThread& aThread, int aPages, const TPairVisit& aVisit);

private:
    bool fSearching = false;
    TBaseSearchThread* fSearchThread = nullptr;  // owns itself; known while it runs
    int fThreadsRunning = 0;  // threads not yet past their last use of this part
    double fProgress = 0;
    void UpdateHealth();

    TSiteRunCounts fCounts;
    int fItemsSkipped = 0;
    std::string fLastRunProblem;
};

// The run side of a site part; null for a plain part (a site without an adapter), which
// never runs.
TSiteSearchRun* SiteSearchRun(TBaseSiteSearch* aPart);
TSiteSearchRun* SiteSearchRun(const TSearch& aSearch, TSiteSearchEnum aSite);

}  // namespace trawlix
