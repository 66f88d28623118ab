#pragma once

// Place and category trees carrying Backpage, Oodle and eBay Classifieds items, a Backpage
// category list, and searches on them: what the feed-site tests share.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "model/categories.h"
#include "model/places.h"
#include "model/search.h"
#include "run/search_run_fixture.h"
#include "run/search_thread.h"
#include "sites/backpage_site_search.h"

namespace trawlix::test {

inline const char* const cFeedPlacesXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<places>
  <place id="1" parent_id="0" name="united states"><craigslist link="" type="0"/>
    <place id="10" parent_id="1" name="SF bay area"><craigslist link="" type="2"/>
      <backpage><item link="http://sfbay.backpage.com"/><item link="http://oakland.backpage.com"/></backpage>
      <oodle><item link1="sf-bay-area-ca"/><item link1="san-jose-ca"/></oodle>
      <ebay><item link="sfbay"/></ebay>
    </place>
    <place id="12" parent_id="1" name="oakland"><craigslist link="" type="2"/>
      <backpage><item link="http://oakland.backpage.com"/></backpage>
      <oodle><item link1="oakland-ca"/></oodle>
      <ebay><item link="oakland"/><item link="eastbay"/></ebay>
    </place>
    <place id="13" parent_id="1" name="no address"><craigslist link="" type="2"/>
      <backpage><item link=""/></backpage>
      <oodle><item link1=""/></oodle>
      <ebay><item link=""/></ebay>
    </place>
    <place id="14" parent_id="1" name="nowhere"><craigslist link="" type="2"/></place>
  </place>
</places>
)";

inline const char* const cFeedCategoriesXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<categories>
  <place id="1" parent_id="0" name="for sale"><craigslist link="sss" type="1"/>
    <place id="10" parent_id="1" name="bikes"><craigslist link="bik"/>
      <backpage><item link="101"/></backpage>
      <oodle><item link1="sale" link3="bicycles"/></oodle>
      <ebay><item catId="1001"/></ebay>
    </place>
    <place id="11" parent_id="1" name="bicycles"><craigslist link="bik"/>
      <backpage><item link="101"/></backpage>
      <oodle><item link1="sale" link3="bicycles"/></oodle>
      <ebay><item catId="1001"/></ebay>
    </place>
    <place id="12" parent_id="1" name="furniture"><craigslist link="fua"/>
      <backpage><item link="102"/><item link="103"/></backpage>
      <oodle><item link1="sale" link2="home" link3="furniture"/></oodle>
      <ebay><item params="category=furniture and decor"/></ebay>
    </place>
    <place id="13" parent_id="1" name="broken"><craigslist link="zzz"/>
      <backpage><item link="999"/></backpage>
    </place>
    <place id="14" parent_id="1" name="unmapped"><craigslist link="zz2"/></place>
  </place>
  <place id="2" parent_id="0" name="housing"><craigslist link="hhh" type="1"/>
    <place id="20" parent_id="2" name="apts"><craigslist link="apa"/>
      <backpage><item link="201"/></backpage>
      <oodle><item link1="housing" link2="rent"/></oodle>
      <ebay><item catId="2001"/></ebay>
    </place>
  </place>
  <place id="3" parent_id="0" name="jobs"><craigslist link="jjj" type="1"/>
    <place id="30" parent_id="3" name="software"><craigslist link="sof"/>
      <backpage><item link="301"/></backpage>
      <oodle><item link1="jobs" link3="software"/></oodle>
      <ebay><item catId="3001"/></ebay>
    </place>
  </place>
  <place id="4" parent_id="0" name="personals"><craigslist link="ppp" type="1"/>
    <place id="40" parent_id="4" name="platonic"><craigslist link="stp"/>
      <backpage><item link="401"/></backpage>
      <oodle><item link1="personals" link3="friends"/></oodle>
      <ebay><item catId="4001"/></ebay>
    </place>
  </place>
</categories>
)";

inline const char* const cBackpageCategoriesXml = R"(<categories>
  <category id="100" name="buy sell trade" params="section=4">
    <category id="101" name="bicycles" params="section=4&amp;category=101"/>
    <category id="102" name="furniture" params="section=4&amp;category=102"/>
    <category id="103" name="antiques" params="section=4&amp;category=Old Things"/>
  </category>
  <category id="201" name="rentals" params="section=6&amp;category=201"/>
  <category id="301" name="jobs" params="section=8&amp;category=301"/>
  <category id="401" name="friends" params="section=9&amp;category=401"/>
</categories>
)";

struct TFeedTrees {
    TFeedTrees()
        : backpageCategories(cBackpageCategoriesXml, "cats-bckpg.cur",
                             [] { return std::make_unique<TBackpageCategory>(); }) {
        places.LoadFromText(cFeedPlacesXml, "Places.cur");
        categories.LoadFromText(cFeedCategoriesXml, "Categories.cur");
    }
    TPlace* Place(int aID) const { return places.GetPlaceByID(aID); }
    TPlace* Category(int aID) const { return categories.GetCategoryByID(aID); }
    TPlaceList Places(const std::vector<int>& aIDs) const {
        TPlaceList list;
        for (int id : aIDs) list.push_back(Place(id));
        return list;
    }
    TPlaceList Categories(const std::vector<int>& aIDs) const {
        TPlaceList list;
        for (int id : aIDs) list.push_back(Category(id));
        return list;
    }

    TPlaces places;
    TCategories categories;
    TSiteCategories backpageCategories;
};

// A search over the given places and categories with only aSite switched on, the
// options its categories offer, and the test's Backpage categories.
inline std::unique_ptr<TSearch> MakeFeedSearch(TSiteSearchEnum aSite, const TFeedTrees& aTrees,
                                               const std::vector<int>& aPlaces, const std::vector<int>& aCategories,
                                               const std::string& aKeywords) {
    auto search = MakeCraigSearch(aTrees.Places(aPlaces), aTrees.Categories(aCategories), aKeywords);
    for (const auto& site : search->GetSiteSearches()) site->SetDoSearch(site->GetSite() == aSite);
    if (auto* backpage = dynamic_cast<TBackpageSiteSearch*>(search->GetSiteSearch(ssBackpage)))
        backpage->SetBackpageCategories(&aTrees.backpageCategories);
    return search;
}

// The links a run of the search's site aSite would fetch.
inline std::vector<std::string> FeedLinks(TSearch& aSearch, TSiteSearchEnum aSite, bool aCalledFromUser = true) {
    aSearch.SetCalledFromUser(aCalledFromUser);
    aSearch.ExpandLocations();
    TBaseSearchThread thread(std::make_unique<TBaseResultsParser>(), false);
    return SiteSearchRun(aSearch, aSite)->MakeSearchLinks(thread);
}

// Link tests: the trees and a run environment that knows their places.
class TFeedLinksTest : public ::testing::Test {
protected:
    TFeedTrees fTrees;
    TScopedRunEnvironment fEnvironment{&fTrees.places};
};

using TOptions = std::vector<std::pair<std::string, std::string>>;

inline void SetOptions(TSearch& aSearch, const TOptions& aOptions) {
    for (const auto& [name, value] : aOptions) SetOption(aSearch, name, value);
}

}  // namespace trawlix::test
