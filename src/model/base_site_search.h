#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "engine/http_client.h"
#include "engine/site_search_enum.h"

namespace pugi {
class xml_node;
}

namespace trawlix {

class TObjectsStorage;
class TPlace;
class TSearch;
class TBaseSearchThread;
class TBaseSiteSearch;

// How a site's run reports to its search: the fraction of links done, and errors.
using TSiteSearchProgressEvent = std::function<void(TBaseSiteSearch& aSender, double aProgress)>;
using TSiteSearchErrorEvent = std::function<void(TBaseSiteSearch& aSender, const std::string& aErrorText)>;

// The part of a search that concerns one site: whether to search it. The run that
// fetches and parses the site's pages builds on this class.
class TBaseSiteSearch {
public:
    TBaseSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch);
    virtual ~TBaseSiteSearch() = default;
    TBaseSiteSearch(const TBaseSiteSearch&) = delete;
    TBaseSiteSearch& operator=(const TBaseSiteSearch&) = delete;

    TSiteSearchEnum GetSite() const { return fSite; }
    TSearch* GetParentSearch() const { return fParentSearch; }
    virtual bool GetDoSearch() const;
    virtual void SetDoSearch(bool aValue);

    // Adds a new "site_search" object under aParentID with "site" and "do_search".
    void SaveToDB(TObjectsStorage& aStorage, int aParentID) const;
    // Reads "do_search" of a stored "site_search" object (false when missing, as every
    // stored flag).
    void LoadFromDB(TObjectsStorage& aStorage, int aObjectID);
    // Reads the attribute "do_search" of an element of the older searches file.
    void LoadFromXMLNode(const pugi::xml_node& aNode);

    TCCriticalSection& GetCriticalSection() const { return fCriticalSection; }

    // --- running (search_run.cpp) ---
    // A new suspended thread with the site's parser; null for a site without an adapter,
    // which is then never started.
    virtual std::unique_ptr<TBaseSearchThread> CreateSearchThread();
    // One line per page to fetch: URL, place index, category index and, for sites that
    // page, the page number. Stops early when aThread is asked to stop.
    virtual std::vector<std::string> MakeSearchLinks(TBaseSearchThread& aThread);
    virtual ICHTTPCLient GetDownloader();
    // The link with its page parameter removed: the pages of one query share it.
    virtual std::string GetLinkWithoutPage(const std::string& aSourceLink);
    virtual std::string RemoveRandomParam(const std::string& aSourceLink);
    virtual void CheckForNewResults() {}

    // Starts this site's thread; false when the site has no adapter.
    bool Search(TSiteSearchProgressEvent aOnProgress, TSiteSearchErrorEvent aOnError);
    // Asks the running thread, if any, to stop; returns at once.
    void Stop();
    bool GetSearching() const;
    double GetProgress() const;
    void SetProgress(double aValue);
    // Pages downloaded by the current or last run of this site.
    int GetPagesFetched() const;
    void AddPageFetched();
    // Pages of the current or last run that could not be downloaded, or that ended the
    // site's run with an error.
    int GetPagesFailed() const;
    void AddPageFailed();
    // Ads of the current or last run left out because their page gave them no link.
    int GetItemsSkipped() const;
    void AddItemSkipped();
    bool GetCheckingForNewResults() const { return false; }
    // The thread's last act: forget it and tell the search.
    void OnSearchThreadFinished();

protected:
    using TPairVisit = std::function<void(const TPlace& aPlace, const TPlace& aCategory, int aPlaceIndex,
                                          int aCategoryIndex, int aPage)>;
    // Calls aVisit for every page, category and searched place of the parent search, in
    // that nesting (the order the links are fetched in), with the search's lock held. The
    // search may be edited meanwhile: indexes it no longer has are skipped. Returns early
    // when aThread is asked to stop.
    void ForEachPlaceAndCategory(TBaseSearchThread& aThread, int aPages, const TPairVisit& aVisit);

    mutable TCCriticalSection fCriticalSection{"TBaseSiteSearch.fCriticalSection"};

private:
    bool fSearching = false;
    TBaseSearchThread* fSearchThread = nullptr;  // owns itself; known while it runs
    double fProgress = 0;
    int fPagesFetched = 0;
    int fPagesFailed = 0;
    int fItemsSkipped = 0;
    bool fDoSearch = true;
    TSiteSearchEnum fSite;
    TSearch* fParentSearch;  // the owning search
};

// The site part of a search for aSite: the site's adapter where there is one.
std::unique_ptr<TBaseSiteSearch> CreateSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch);

// Reads a stored site number; false for anything that is not one of the sites.
bool SiteFromNumber(long long aNumber, TSiteSearchEnum& aSite);

}  // namespace trawlix
