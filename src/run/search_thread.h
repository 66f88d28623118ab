#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/results_parser.h"
#include "engine/threads.h"
#include "run/site_search_run.h"

namespace trawlix {

// One site's part of a run: builds the site's links, fetches them one after another
// through the site's client, parses each page and hands every ad to the search.
// Frees itself when Execute returns.
class TBaseSearchThread : public TcThread {
public:
    TBaseSearchThread(std::unique_ptr<TBaseResultsParser> aResultsParser, bool aSearchMultiplePages);
    ~TBaseSearchThread() override;

    TSiteSearchRun* GetSearch() const { return fSearch; }
    void SetSearch(TSiteSearchRun* aSearch) { fSearch = aSearch; }
    const std::vector<std::string>& GetSearchLinks() const { return fSearchLinks; }
    int GetPagesCount() const { return fPagesCount; }
    void SetPagesCount(int aValue) { fPagesCount = aValue; }
    bool GetSearchMultiplePages() const { return fSearchMultiplePages; }
    void SetOnFinished(std::function<void()> aHandler) { fOnFinished = std::move(aHandler); }
    void SetOnProgress(TSiteSearchProgressEvent aHandler) { fOnProgress = std::move(aHandler); }
    void SetOnError(TSiteSearchErrorEvent aHandler) { fOnError = std::move(aHandler); }
    TBaseResultsParser* GetResultsParser() const { return fResultsParser.get(); }

    // The parser's callback: one ad of the page in hand.
    void OnResultParsed(const TParsedResult& aResult);
    // Whether the search had an ad at aLink before this run.
    bool KnownResult(const std::string& aLink) const;

protected:
    void Execute() override;

private:
    struct TOmitSets;

    void ProcessLink(const std::string& aLink, TOmitSets& aOmit);
    void ReportError(const std::string& aText);
    void ReportProgress(double aProgress);
    void Finish();

    TSiteSearchRun* fSearch = nullptr;
    std::vector<std::string> fSearchLinks;
    std::unique_ptr<TBaseResultsParser> fResultsParser;
    std::function<void()> fOnFinished;
    bool fSearchMultiplePages;
    std::string fSrchLink;
    int fPagesCount = 0;
    TSiteSearchProgressEvent fOnProgress;
    TSiteSearchErrorEvent fOnError;
    bool fMetKnownAd = false;  // the page in hand holds an ad the search already had
    bool fStopRequested = false;  // a terminated download ends the loop after its page
};

// The page URL of a search link: the link without its trailing " <number>" groups.
std::string SearchLinkURL(const std::string& aSearchLink);
// The part of a link before its first "?" (empty when it has none), as error messages quote it.
std::string LinkBeforeQuery(const std::string& aLink);
// An ad's full link: absolute links as they are. A Craigslist listing's path is put on the
// Craigslist host of the page it was found on (scheme and city label of aPageURL, then "."
// and aDomain); any other site's link is read against the address of its page, as a
// browser reads it ("/ad/1", "ad/1", "?id=1", "//host/ad/1").
std::string FullResultLink(const std::string& aLink, const std::string& aPageURL, const std::string& aDomain,
                           bool aCraigslist = true);

}  // namespace trawlix
