#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/critical_section.h"
#include "engine/site_search_enum.h"

namespace pugi {
class xml_node;
}

namespace trawlix {

class TObjectsStorage;
class TSearch;
class TBaseSiteSearch;

// How a site fared for a search, kept between runs: whether it ever gave ads, the problem
// its last run met (empty when none) and how long automatic runs leave it alone.
struct TSiteHealth {
    bool hadAds = false;
    std::string problem;
    bool blocked = false;         // the problem is a refusal, not a changed page
    int backoffMinutes = 0;       // 0 when the site is not being backed off
    double backoffUntil = 0;      // a date (clock.h); automatic runs skip the site before it
    bool toldBad = false;         // the user was told of the problem (and not yet of its end)
};

// The part of a search that concerns one site: whether to search it. The run side
// (TSiteSearchRun in run/) builds on this class, and the site adapters on that one; a plain
// part, for a site without an adapter, keeps its setting but never runs.
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
    TSiteHealth GetHealth() const;
    void SetHealth(const TSiteHealth& aValue);
    // Asks the part's running thread, if any, to stop; returns at once. A plain part never runs.
    virtual void Stop() {}
    // Whether a thread still uses this part and its search (it may still be ending after
    // the run turned off).
    virtual bool GetThreadRunning() const { return false; }

    // Adds a new "site_search" object under aParentID with "site", "do_search" and the
    // site's health ("had_ads", "problem", "blocked", "backoff_minutes", "backoff_until",
    // "told_bad").
    void SaveToDB(TObjectsStorage& aStorage, int aParentID) const;
    // Reads "do_search" of a stored "site_search" object (false when missing, as every
    // stored flag).
    void LoadFromDB(TObjectsStorage& aStorage, int aObjectID);
    // Reads the attribute "do_search" of an element of the older searches file.
    void LoadFromXMLNode(const pugi::xml_node& aNode);

    TCCriticalSection& GetCriticalSection() const { return fCriticalSection; }

protected:
    mutable TCCriticalSection fCriticalSection{"TBaseSiteSearch.fCriticalSection"};

private:
    bool fDoSearch = true;
    TSiteHealth fHealth;
    TSiteSearchEnum fSite;
    TSearch* fParentSearch;  // the owning search
};

// Makes the site part of a new search. The site adapters install theirs when the program
// starts; without one a search gets plain parts, which keep their settings but never run.
using TSiteSearchFactory = std::function<std::unique_ptr<TBaseSiteSearch>(TSiteSearchEnum aSite, TSearch* aParentSearch)>;
void SetSiteSearchFactory(TSiteSearchFactory aFactory);
// The site part for aSite, made by the installed factory.
std::unique_ptr<TBaseSiteSearch> MakeSiteSearch(TSiteSearchEnum aSite, TSearch* aParentSearch);

// Reads a stored site number; false for anything that is not one of the sites.
bool SiteFromNumber(long long aNumber, TSiteSearchEnum& aSite);

}  // namespace trawlix
