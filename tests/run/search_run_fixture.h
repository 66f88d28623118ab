#pragma once

// A small place tree and category tree with Craigslist records, searches built on them,
// and a run environment with a settable clock: what the search-run and Craigslist tests share.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/download.h"
#include "engine/http_client.h"
#include "engine/proxy_settings.h"
#include "engine/synchronizator.h"
#include "model/categories.h"
#include "model/places.h"
#include "model/property_container.h"
#include "model/search.h"
#include "run/search_run_environment.h"

namespace trawlix::test {

inline const char* const cRunPlacesXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<places>
  <place id="1" parent_id="0" name="united states"><craigslist link="" type="0"/>
    <place id="2" parent_id="1" name="california"><craigslist link="" type="1"/>
      <place id="10" parent_id="2" name="SF bay area" lat="37.7749" long="-122.4194"><craigslist link="http://sfbay.craigslist.org/" type="2"/>
        <place id="11" parent_id="10" name="east bay"><craigslist link="http://sfbay.craigslist.org/eby/" type="3"/></place>
      </place>
      <place id="12" parent_id="2" name="oakland" lat="37.8044" long="-122.2712"><craigslist link="http://oakland.craigslist.org/" type="2"/></place>
      <place id="13" parent_id="2" name="los angeles" lat="34.0522" long="-118.2437"><craigslist link="http://losangeles.craigslist.org/" type="2"/></place>
      <place id="14" parent_id="2" name="nowhere"><craigslist link="" type="2"/></place>
    </place>
    <place id="3" parent_id="1" name="massachusetts"><craigslist link="" type="1"/>
      <place id="20" parent_id="3" name="boston"><craigslist link="http://boston.craigslist.org/" type="2"/>
        <place id="21" parent_id="20" name="back bay"><craigslist link="1" type="4"/></place>
        <place id="22" parent_id="20" name="beacon hill"><craigslist link="2" type="4"/></place>
        <place id="23" parent_id="20" name="fenway"><craigslist link="3" type="4"/></place>
        <place id="24" parent_id="20" name="north end"><craigslist link="4" type="4"/></place>
        <place id="25" parent_id="20" name="south end"><craigslist link="5" type="4"/></place>
      </place>
    </place>
  </place>
</places>
)";

inline const char* const cRunCategoriesXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<categories>
  <place id="1" parent_id="0" name="for sale"><craigslist link="sss" type="1"/>
    <place id="10" parent_id="1" name="bikes"><craigslist link="bik" type="0"/></place>
    <place id="11" parent_id="1" name="furniture"><craigslist link="fua" type="0"/></place>
    <place id="12" parent_id="1" name="bicycles"><craigslist link="bik" type="0"/></place>
    <place id="13" parent_id="1" name="gone"><craigslist link="zzz" type="0" disabled="-1"/></place>
  </place>
  <place id="2" parent_id="0" name="housing"><craigslist link="hhh" type="1"/>
    <place id="20" parent_id="2" name="apts"><craigslist link="apa" type="0"/></place>
    <place id="21" parent_id="2" name="bike rooms"><craigslist link="bik" type="0"/></place>
  </place>
  <place id="3" parent_id="0" name="jobs"><craigslist link="jjj" type="1"/>
    <place id="30" parent_id="3" name="software"><craigslist link="sof" type="0"/></place>
  </place>
  <place id="4" parent_id="0" name="personals"><craigslist link="ppp" type="1"/>
    <place id="40" parent_id="4" name="strictly platonic"><craigslist link="stp" type="0"/></place>
  </place>
  <place id="5" parent_id="0" name="community"><craigslist link="ccc" type="1"/>
    <place id="50" parent_id="5" name="activities"><craigslist link="act" type="0"/></place>
  </place>
</categories>
)";

// The reference trees, loaded once per test.
struct TRunTrees {
    TRunTrees() {
        places.LoadFromText(cRunPlacesXml, "Places.cur");
        categories.LoadFromText(cRunCategoriesXml, "Categories.cur");
    }
    TPlace* Place(int aID) const { return places.GetPlaceByID(aID); }
    TPlace* Category(int aID) const { return categories.GetCategoryByID(aID); }

    TPlaces places;
    TCategories categories;
};

// Installs a run environment for the life of the object, with settings the test can change.
// While it lives, every site's downloads go through the site simulator listening on aPort,
// aLoop serves the main thread, and the fall-back transfer keeps its files in aScratch.
class TScopedSimulatorDownloads {
public:
    TScopedSimulatorDownloads(int aPort, THeadlessMainLoop& aLoop, const std::filesystem::path& aScratch) {
        SetMainThreadBinding(&aLoop);
        fProxy.SetEnabled(true);
        fProxy.SetHost("127.0.0.1");
        fProxy.SetPort(aPort);
        CreateSiteDownloaders(fProxy);
        SetDownloadScratchFolder(aScratch.string());
    }
    ~TScopedSimulatorDownloads() {
        ReleaseSiteDownloaders();
        SetDownloadScratchFolder("");
        SetMainThreadBinding(nullptr);
    }
    TScopedSimulatorDownloads(const TScopedSimulatorDownloads&) = delete;
    TScopedSimulatorDownloads& operator=(const TScopedSimulatorDownloads&) = delete;

private:
    TProxySettings fProxy;
};

// Runs aSearch as the start button does and serves aLoop until the run ends; what the run
// tells the user goes to aErrors. False when it did not end within aTimeout.
inline bool RunSearchToEnd(TSearch& aSearch, THeadlessMainLoop& aLoop, std::vector<std::string>& aErrors,
                           std::chrono::seconds aTimeout = std::chrono::seconds(30), bool aCalledFromUser = true) {
    std::mutex mutex;
    bool stopped = false;
    aSearch.OnSearchStopped = [&](TSearch&) {
        std::lock_guard lock(mutex);
        stopped = true;
    };
    aSearch.OnError = [&](TSearch&, const std::string& aText) {
        std::lock_guard lock(mutex);
        aErrors.push_back(aText);
    };
    aSearch.FillOldResults(aSearch.GetClearOldResults());
    aSearch.Search(nullptr, aCalledFromUser);
    const bool ended = aLoop.RunUntil(
        [&] {
            std::lock_guard lock(mutex);
            return stopped;
        },
        aTimeout);
    aSearch.OnSearchStopped = nullptr;
    aSearch.OnError = nullptr;
    return ended;
}

class TScopedRunEnvironment {
public:
    explicit TScopedRunEnvironment(const TPlaces* aPlaces) {
        auto environment = std::make_shared<TSearchRunEnvironment>();
        environment->places = [aPlaces] { return aPlaces; };
        environment->showUnreachableURLErrors = [this] { return showUnreachable.load(); };
        environment->now = [this] { return now.load(); };
        environment->canShowResults = [] { return true; };
        environment->notifyForNewResults = [this](TSearch&) { ++notifications; };
        environment->queueAutomaticReply = [this](TSearch&, const IEntry&) { ++automaticReplies; };
        fPrevious = SetSearchRunEnvironment(environment);
    }
    ~TScopedRunEnvironment() { SetSearchRunEnvironment(std::move(fPrevious)); }
    TScopedRunEnvironment(const TScopedRunEnvironment&) = delete;
    TScopedRunEnvironment& operator=(const TScopedRunEnvironment&) = delete;

    std::atomic<bool> showUnreachable{false};
    std::atomic<double> now{LocalNow()};
    std::atomic<int> notifications{0};
    std::atomic<int> automaticReplies{0};

private:
    std::shared_ptr<const TSearchRunEnvironment> fPrevious;
};

// A search over the given places and categories with only Craigslist switched on, and the
// options its categories offer.
inline std::unique_ptr<TSearch> MakeCraigSearch(const TPlaceList& aPlaces, const TPlaceList& aCategories,
                                                const std::string& aKeywords) {
    auto search = std::make_unique<TSearch>();
    search->SetName("test search");
    search->SetCompressedLocations(aPlaces);
    search->SetCategories(aCategories);
    search->SetKeywords(aKeywords);
    for (const auto& site : search->GetSiteSearches()) site->SetDoSearch(site->GetSite() == ssCraigslist);
    TStringList groups;
    for (TPlace* category : aCategories) groups.push_back(category->GetParent() ? category->GetParent()->GetName()
                                                                                : category->GetName());
    FillProperties(search->GetPropertyContainer(), TPropertySelection::FromCategoryNames(groups, false, false));
    return search;
}

inline void SetOption(TSearch& aSearch, const std::string& aName, const std::string& aValue) {
    TProp* prop = aSearch.GetPropertyContainer().GetPropByName(aName);
    if (!prop) throw std::runtime_error("no option " + aName);
    std::string error;
    if (!prop->SetValue(aValue, error)) throw std::runtime_error(error);
}

}  // namespace trawlix::test
