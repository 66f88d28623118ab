#pragma once

// Places with ZIP codes and Cars.com records, the car categories among others, and
// searches on them with the car options: what the Cars.com and Autotrader tests share.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "model/categories.h"
#include "model/places.h"
#include "model/property_container.h"
#include "model/search.h"
#include "run/search_run_fixture.h"
#include "run/search_thread.h"

namespace trawlix::test {

inline const char* const cCarPlacesXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<places>
  <place id="1" parent_id="0" name="united states"><craigslist link="" type="0"/>
    <place id="2" parent_id="1" name="california"><craigslist link="" type="1"/>
      <place id="10" parent_id="2" name="san francisco" zip_code="94103"><craigslist link="http://sfbay.craigslist.org/" type="2"/><backpage/><oodle/><ebay/><cars.com><item zc="94103" rd="30"/></cars.com></place>
      <place id="12" parent_id="2" name="oakland" zip_code="94612"><craigslist link="http://oakland.craigslist.org/" type="2"/><backpage/><oodle/><ebay/><cars.com><item zc="94612" rd="10"/><item zc="94601" rd="20"/></cars.com></place>
      <place id="13" parent_id="2" name="daly city"><craigslist link="" type="2"/><backpage/><oodle/><ebay/><cars.com><item zc="94014" rd="15"/></cars.com></place>
      <place id="14" parent_id="2" name="nowhere"><craigslist link="" type="2"/></place>
    </place>
  </place>
</places>
)";

inline const char* const cCarCategoriesXml = R"(<?xml version="1.0" encoding="UTF-8"?>
<categories>
  <place id="1" parent_id="0" name="for sale"><craigslist link="sss" type="1"/>
    <place id="10" parent_id="1" name="bikes"><craigslist link="bik" type="0"/></place>
    <place id="52" parent_id="1" name="cars+trucks"><craigslist link="cta" type="0"/></place>
    <place id="320" parent_id="1" name="cars+trucks - by owner"><craigslist link="cto" type="0"/></place>
    <place id="321" parent_id="1" name="cars+trucks - by dealer"><craigslist link="ctd" type="0"/></place>
    <place id="322" parent_id="1" name="car parts"><craigslist link="pts" type="0"/></place>
  </place>
</categories>
)";

struct TCarTrees {
    TCarTrees() {
        places.LoadFromText(cCarPlacesXml, "Places.cur");
        categories.LoadFromText(cCarCategoriesXml, "Categories.cur");
    }
    TPlace* Place(int aID) const { return places.GetPlaceByID(aID); }
    TPlace* Category(int aID) const { return categories.GetCategoryByID(aID); }

    TPlaces places;
    TCategories categories;
};

// A search with only aSite switched on and both car groups among its options.
inline std::unique_ptr<TSearch> MakeCarSearch(TSiteSearchEnum aSite, const TPlaceList& aPlaces,
                                              const TPlaceList& aCategories, const std::string& aKeywords) {
    auto search = std::make_unique<TSearch>();
    search->SetName("car search");
    search->SetCompressedLocations(aPlaces);
    search->SetCategories(aCategories);
    search->SetKeywords(aKeywords);
    for (const auto& site : search->GetSiteSearches()) site->SetDoSearch(site->GetSite() == aSite);
    FillProperties(search->GetPropertyContainer(), TPropertySelection::FromCategoryNames({"for sale"}, true, true));
    return search;
}

// The search's links as a run makes them, each URL with its random parameter checked
// against aRandomKey and aRandomLimit and then taken out, so that the rest compares exactly.
inline std::string WithoutRandom(const std::string& aLink, const std::string& aRandomKey, int aRandomLimit) {
    const std::regex tail("&" + aRandomKey + "=(\\d+)$");
    std::smatch match;
    if (!std::regex_search(aLink, match, tail)) {
        ADD_FAILURE() << "no random parameter at the end of " << aLink;
        return aLink;
    }
    EXPECT_LT(std::stoll(match[1].str()), aRandomLimit) << aLink;
    return aLink.substr(0, static_cast<size_t>(match.position(0)));
}

// The site's lines as a run makes them, with the random parameter of each URL taken out.
inline std::vector<std::string> RunLinks(TSearch& aSearch, TSiteSearchEnum aSite, bool aCalledFromUser,
                                         const std::string& aRandomKey, int aRandomLimit) {
    aSearch.SetCalledFromUser(aCalledFromUser);
    aSearch.ExpandLocations();
    TBaseSearchThread thread(std::make_unique<TBaseResultsParser>(), true);
    std::vector<std::string> lines;
    for (const std::string& line : SiteSearchRun(aSearch, aSite)->MakeSearchLinks(thread)) {
        const std::string url = SearchLinkURL(line);
        lines.push_back(WithoutRandom(url, aRandomKey, aRandomLimit) + line.substr(url.size()));
    }
    return lines;
}

}  // namespace trawlix::test
