#include "sites/cars_com_site_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>

#include "model/filter.h"
#include "sites/car_run_fixture.h"
#include "sites/cars_com_results_parser.h"

namespace trawlix {
namespace {

using test::MakeCarSearch;
using test::SetOption;

const std::string cCarsComBase =
    "http://www.cars.com/for-sale/searchresults.action?dlId=&dgId=&AmbMkNm=&AmbMdNm=&AmbMkId=&AmbMdId="
    "&searchSource=ADVANCED_SEARCH";

class CarsComLinksTest : public ::testing::Test {
protected:
    std::unique_ptr<TSearch> Search(const std::string& aKeywords, const TPlaceList& aPlaces = {},
                                    const TPlaceList& aCategories = {}) {
        return MakeCarSearch(ssCarsCom, aPlaces.empty() ? TPlaceList{fTrees.Place(10)} : aPlaces,
                             aCategories.empty() ? TPlaceList{fTrees.Category(52)} : aCategories, aKeywords);
    }
    static TCarsComSiteSearch& CarsCom(TSearch& aSearch) {
        return dynamic_cast<TCarsComSiteSearch&>(*aSearch.GetSiteSearch(ssCarsCom));
    }
    // The link of the first Cars.com item of place 10, without its random number.
    static std::string Link(TSearch& aSearch, int aPage = 1) {
        const TCarsComSitePlaceItem item{nullptr, "94103", "30"};
        std::string link;
        TCLock lock(aSearch.GetCriticalSection());
        CarsCom(aSearch).MakeSearchLink(item, aPage, link);
        return test::WithoutRandom(link, "random", 10000);
    }
    std::vector<std::string> Lines(TSearch& aSearch, bool aCalledFromUser = true) {
        return test::RunLinks(aSearch, ssCarsCom, aCalledFromUser, "random", 10000);
    }

    test::TCarTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
};

TEST_F(CarsComLinksTest, UnsetOptionsGiveTheFullEmptyQuery) {
    auto search = Search("");
    SetOption(*search, "carscom_keywords_mode", "any words");
    EXPECT_EQ(Link(*search), cCarsComBase +
                                 "&rd=30&zc=94103&uncpo=1&cpo=&stkTyp=N&VType=&mkId=&mdId=&prMn=&prMx=&clrId=&yrMn=&yrMx="
                                 "&drvTrnId=&mlgMn=&mlgMx=&transTypeId=&kw=ANY&kwm=ANY&ldId=&rpp=250&slrTypeId=");
}

TEST_F(CarsComLinksTest, OptionsBecomeTheirParameters) {
    struct TCase {
        std::vector<std::pair<std::string, std::string>> options;
        std::string piece;  // with its neighbours, so that its place in the link is checked too
    } cases[] = {
        {{{"price_min", "5000"}}, "&mdId=&prMn=5000&prMx=&clrId="},
        {{{"price_min", "500"}, {"price_max", "2500.5"}}, "&prMn=500&prMx=2500&clrId="},
        {{{"price_max", "3501.5"}}, "&prMn=&prMx=3502&clrId="},
        {{{"carscom_year_max", "2005"}}, "&yrMn=&yrMx=2005&drvTrnId="},
        {{{"carscom_year_min", "1999"}, {"carscom_year_max", "2005"}}, "&yrMn=1999&yrMx=2005&"},
        {{{"carscom_mileage_min", "1000"}}, "&mlgMn=1000&mlgMx=&transTypeId="},
        {{{"carscom_fuel_diesel", "yes"}, {"carscom_fuel_electric", "yes"}},
         "&transTypeId=&fuelTypeId=31766&fuelTypeId=38745&kw="},
        {{{"carscom_fuel_cng", "yes"}, {"carscom_fuel_gasoline", "yes"}, {"carscom_fuel_e85_gasoline", "yes"},
          {"carscom_fuel_gasoline_hybrid", "yes"}},
         "&fuelTypeId=31763&fuelTypeId=31765&fuelTypeId=31764&fuelTypeId=31783&kw="},
        {{{"carscom_car_usability", "used cars"}}, "&zc=94103&uncpo=2&cpo=&stkTyp=U&VType=&"},
        {{{"carscom_car_usability", "certified used cars"}}, "&uncpo=3&cpo=Y&stkTyp=U&"},
        {{{"carscom_body_style", "coupe"}}, "&stkTyp=N&bsId=20202&VType=20202&mkId="},
        {{{"carscom_body_style", "full size van"}}, "&bsId=20214&bsId=20212&VType=20214%2C20212&mkId="},
        {{{"carscom_body_style", "pickup truck"}}, "&bsId=20210&bsId=20209&bsId=20218&VType=20210%2C20209%2C20218&"},
        {{{"carscom_body_style", "convertible"}}, "&bsId=20203&VType=20203&mkId="},
        {{{"carscom_body_style", "wagon"}}, "&bsId=20216&VType=20216&"},
        {{{"carscom_exterior_color", "Beige"}}, "&prMx=&clrId=27122&yrMn="},
        {{{"carscom_exterior_color", "White"}}, "&clrId=27134&"},
        {{{"carscom_exterior_color", "Yellow"}}, "&clrId=27135&"},
        {{{"carscom_drivetrain", "4x4/4-wheel drive"}}, "&yrMx=&drvTrnId=27105&mlgMn="},
        {{{"carscom_drivetrain", "FWD"}}, "&drvTrnId=27101&"},
        {{{"carscom_transmission", "CVT"}}, "&mlgMx=&transTypeId=28115&kw="},
        {{{"carscom_transmission", "Manual"}}, "&transTypeId=28112&"},
        {{{"carscom_date", "Last 2 Weeks"}}, "&kwm=ALL&ldId=28885&rpp=250&"},
        {{{"carscom_date", "Last Month"}}, "&ldId=28442&"},
        {{{"carscom_seller_type", "Private party + Classified"}}, "&rpp=250&slrTypeId=28879"},
        {{{"carscom_keywords_mode", "exact phrase"}}, "&kw=ANY&kwm=EXACT&"},
    };
    for (const auto& c : cases) {
        auto search = Search("");
        for (const auto& [name, value] : c.options) SetOption(*search, name, value);
        const std::string link = Link(*search);
        EXPECT_NE(link.find(c.piece), std::string::npos) << c.piece << "\n in " << link;
    }
}

TEST_F(CarsComLinksTest, KeywordsFromTheOptionOrTheSearch) {
    struct TCase {
        std::string optionKeywords;
        std::string searchKeywords;
        std::string expected;
    } cases[] = {
        {"", "", "&kw=ANY&"},
        {"", "red civic", "&kw=red%20civic&"},
        {"miata", "red civic", "&kw=miata&"},
        {"caf\xC3\xA9 & co", "", "&kw=caf%C3%A9%20%26%20co&"},
    };
    for (const auto& c : cases) {
        auto search = Search(c.searchKeywords);
        if (!c.optionKeywords.empty()) SetOption(*search, "carscom_keywords", c.optionKeywords);
        const std::string link = Link(*search);
        EXPECT_NE(link.find(c.expected), std::string::npos) << link;
    }
}

TEST_F(CarsComLinksTest, PagesAndTheParametersThatGoBeforeComparing) {
    auto search = Search("");
    EXPECT_EQ(Link(*search, 1).find("&rn="), std::string::npos) << "page 1 has no offset";
    const std::string page2 = Link(*search, 2);
    const std::string page3 = Link(*search, 3);
    EXPECT_EQ(page3, Link(*search, 1) + "&rn=500");
    EXPECT_EQ(page2, Link(*search, 1) + "&rn=250");

    TCarsComSiteSearch& site = CarsCom(*search);
    EXPECT_EQ(site.GetLinkWithoutPage(page2), Link(*search, 1)) << "&rn=250 goes, &rpp=250 stays";
    EXPECT_NE(site.GetLinkWithoutPage(page2).find("&rpp=250"), std::string::npos);
    EXPECT_EQ(site.RemoveRandomParam(page2 + "&random=77"), page2);
    EXPECT_EQ(site.RemoveRandomParam(page2 + "&random=77&x=1"), page2 + "&x=1");
}

TEST_F(CarsComLinksTest, EveryRunGetsFreshRandomNumbers) {
    auto search = Search("");
    std::set<std::string> seen;
    TCarsComSitePlaceItem item{nullptr, "94103", "30"};
    TCLock lock(search->GetCriticalSection());
    for (int i = 0; i < 20; ++i) {
        std::string link;
        CarsCom(*search).MakeSearchLink(item, 1, link);
        seen.insert(link);
    }
    EXPECT_GT(seen.size(), 1u) << "the random parameter keeps caches from answering";
}

TEST_F(CarsComLinksTest, OneLinePerItemAndCarCategoryOtherCategoriesIgnored) {
    // Oakland has two Cars.com items; bikes is not a car category.
    auto search = Search("", {fTrees.Place(12)}, {fTrees.Category(10), fTrees.Category(52), fTrees.Category(320)});
    search->SetPagesCount(1);
    const std::string tail = "&uncpo=1&cpo=&stkTyp=N&VType=&mkId=&mdId=&prMn=&prMx=&clrId=&yrMn=&yrMx=&drvTrnId="
                             "&mlgMn=&mlgMx=&transTypeId=&kw=ANY&kwm=ALL&ldId=&rpp=250&slrTypeId=";
    const std::string first = cCarsComBase + "&rd=10&zc=94612" + tail;
    const std::string second = cCarsComBase + "&rd=20&zc=94601" + tail;
    EXPECT_EQ(Lines(*search), (std::vector<std::string>{first + " 0 1", second + " 0 1", first + " 0 2",
                                                         second + " 0 2"}))
        << "no page number on the lines; the run fetches each page once, for the first car category";
}

TEST_F(CarsComLinksTest, UserRunsPageAutomaticRunsTakeTheFirstPage) {
    auto search = Search("", {fTrees.Place(10), fTrees.Place(14)}, {fTrees.Category(321)});
    search->SetPagesCount(3);
    const auto user = Lines(*search, true);
    ASSERT_EQ(user.size(), 3u) << "a place without a Cars.com record gives no link";
    EXPECT_EQ(user[0].find("&rn="), std::string::npos);
    EXPECT_NE(user[1].find("&rn=250 0 0"), std::string::npos) << user[1];
    EXPECT_NE(user[2].find("&rn=500 0 0"), std::string::npos) << user[2];
    const auto automatic = Lines(*search, false);
    ASSERT_EQ(automatic.size(), 1u);
    EXPECT_EQ(automatic[0], user[0]);
}

TEST_F(CarsComLinksTest, AMissingCarOptionStopsTheLinksWithItsName) {
    auto search = Search("");
    search->GetPropertyContainer().DeleteProp("carscom_transmission");
    search->SetPagesCount(1);
    try {
        Lines(*search);
        FAIL() << "links were made without the option";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The search has no option \"carscom_transmission\".");
    }
    auto noCarCategory = Search("", {}, {fTrees.Category(10)});
    noCarCategory->GetPropertyContainer().DeleteProp("carscom_transmission");
    EXPECT_TRUE(Lines(*noCarCategory).empty()) << "no car category reads no car option";
}

class CarsComRunTest : public test::CarRunTest {};

TEST_F(CarsComRunTest, TwoCarCategoriesTwoZipCodesTwoPages) {
    // Oakland has two Cars.com items; both categories give the same queries, fetched once.
    auto search = MakeCarSearch(ssCarsCom, {fTrees.Place(12)}, {fTrees.Category(52), fTrees.Category(320)}, "count30");
    search->SetPagesCount(2);
    Run(*search);

    const auto urls = RequestedUrls();
    ASSERT_EQ(urls.size(), 4u) << "each item's two pages, whatever the random numbers; none said it was the last";
    const std::string first = "&rd=10&zc=94612&", second = "&rd=20&zc=94601&";
    EXPECT_NE(urls[0].find(first), std::string::npos);
    EXPECT_NE(urls[1].find(second), std::string::npos);
    EXPECT_NE(urls[2].find(first), std::string::npos);
    EXPECT_NE(urls[2].find("&rn=250&random="), std::string::npos) << urls[2];
    EXPECT_NE(urls[3].find("&rn=250&random="), std::string::npos) << urls[3];
    EXPECT_EQ(ExpectedAdCount(urls[0]) + ExpectedAdCount(urls[1]), 60);

    const auto results = Results(*search);
    EXPECT_EQ(results.size(), 60u);
    ExpectResultsFromPages(results, urls);
    for (const IEntry& entry : results) {
        EXPECT_EQ(entry->GetFromSite(), ssCarsCom);
        EXPECT_EQ(entry->GetCategoryString(), "cars+trucks - for sale") << "the first car category of the search";
        EXPECT_TRUE(entry->GetNew());
    }
}

// A results view as the window's: it shows the filter's list of the search.
class TListView : public IResultsViewHelper {
public:
    explicit TListView(const TSearch& aSearch) : fSearch(aSearch) {}
    const TSearch* GetShownSearch() const override { return &fSearch; }
    bool ShowsFavourites() const override { return false; }
    int GetItemCount() const override { return fCount; }
    void SetItemCount(int aCount) override { fCount = aCount; }
    void SetResultsLabel(const std::string&) override {}

private:
    const TSearch& fSearch;
    int fCount = 0;
};

TEST_F(CarsComRunTest, TwoCarSitesAtOnceShowEachResultOnceWhileTheyRun) {
    auto search = MakeCarSearch(ssCarsCom, {fTrees.Place(12)}, {fTrees.Category(52)}, "count60");
    search->GetSiteSearch(ssAutotrader)->SetDoSearch(true);
    search->SetPagesCount(1);
    search->SetFillInLV(true);
    TListView view(*search);
    std::atomic<bool> stopped{false};
    search->OnSearchStopped = [&](TSearch&) { stopped = true; };
    search->Search(&view, true);
    ASSERT_TRUE(fLoop.RunUntil([&] { return stopped.load(); }, std::chrono::seconds(30)));
    search->OnSearchStopped = nullptr;

    std::vector<std::string> shown, kept;
    {
        TCLock lock(search->GetCriticalSection());
        for (const IEntry& entry : search->GetFilter().GetResults()) shown.push_back(entry->GetLink());
        for (const IEntry& entry : search->GetSearchResults()) kept.push_back(entry->GetLink());
    }
    ASSERT_GT(kept.size(), 120u) << "both sites' ads";
    std::sort(shown.begin(), shown.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(shown, kept) << "every result shown as it came, none twice";
    EXPECT_EQ(view.GetItemCount(), static_cast<int>(kept.size()));
}

TEST_F(CarsComRunTest, DateWindowsNeverDropDatelessCarAds) {
    struct TWindow {
        bool lastDays;
        double from, to;
    } windows[] = {{true, 0, 0}, {false, EncodeDate(2001, 1, 1), EncodeDate(2001, 1, 31)}};
    for (const auto& w : windows) {
        auto search = MakeCarSearch(ssCarsCom, {fTrees.Place(10)}, {fTrees.Category(322)}, "count9");
        search->SetPagesCount(1);
        search->SetDoSearchLastDays(w.lastDays);
        search->SetNumberOfLastDaysToSearch(1);
        search->SetDateFrom(w.from);
        search->SetDateTo(w.to);
        Run(*search);
        EXPECT_EQ(Results(*search).size(), 9u) << (w.lastDays ? "last day" : "January 2001");
    }
}

}  // namespace
}  // namespace trawlix
