// Today's Craigslist: the keyword line split between the site and the program, the requests
// of a search under today's names, the search page and the areas list.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/text_functions.h"
#include "model/place_selection.h"
#include "model/search.h"
#include "run/search_run_fixture.h"
#include "sites/craig_areas.h"
#include "sites/craig_json_search.h"
#include "sites/craig_posting_page.h"
#include "sites/posting_scrapers.h"
#include "sites/craig_results_parser.h"
#include "sites/craig_search_page.h"
#include "sites/craig_site_search.h"
#include "sites/craig_today_query.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

namespace fs = std::filesystem;
using test::MakeCraigSearch;
using test::SetOption;

std::string Fixture(const std::string& aName) {
    std::ifstream in(trawlix::test::TestsDir() / "sites" / "fixtures" / "craigslist" / aName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(CraigKeywordQuery, WhatTheSiteIsAskedAndWhatIsCheckedOnTitles) {
    struct TCase {
        std::string keywords;
        std::string siteQuery;
        std::vector<std::string> pass;
        std::vector<std::string> fail;
    } cases[] = {
        {"red bike", "red bike", {"anything the site gave"}, {}},
        {"bike -kids", "bike", {"Road bike"}, {"Kids bike", "KIDS BIKE"}},
        {"(red|blue) bike", "bike", {"Red bike", "a blue bike"}, {"green bike"}},
        {"red | blue bike", "bike", {"blue bike"}, {"green bike"}},
        {"\"road bike\" -\"for parts\"", "\"road bike\"", {"road bike"}, {"road bike for parts"}},
        {"(trek)", "trek", {"anything"}, {}},
        {"", "", {"anything"}, {}},
    };
    for (const auto& c : cases) {
        const auto query = TCraigKeywordQuery::FromKeywords(c.keywords);
        EXPECT_EQ(query.siteQuery, c.siteQuery) << c.keywords;
        for (const auto& title : c.pass) EXPECT_TRUE(query.TitlePasses(title)) << c.keywords << " / " << title;
        for (const auto& title : c.fail) EXPECT_FALSE(query.TitlePasses(title)) << c.keywords << " / " << title;
    }
}

// A watcher's request is shared only when every condition of the search is one an ad of
// the JSON answer shows; the shared request then checks words, prices and pictures itself.
TEST(CraigTodayRequest, SharedOnlyWhenEveryConditionIsCheckableOnTheAnswer) {
    struct TCase {
        std::string keywords;
        std::string params;
        bool shared;
    } cases[] = {
        {"", "", true},
        {"red bike", "&srchType=T&min_price=50&max_price=700&hasPic=1", true},
        {"(red|blue) -kids", "", true},  // alternatives and exclusions were checked on titles already
        {"red bike", "", false},         // the site would look in the ad's text too
        {"", "&postal=94110&search_distance=25", false},
        {"", "&min_bedrooms=2", false},
        {"", "&min_price=cheap", false},
    };
    for (const auto& c : cases) {
        TCraigTodayRequest request;
        request.category = "bik";
        request.keywords = TCraigKeywordQuery::FromKeywords(c.keywords);
        request.params = c.params;
        EXPECT_EQ(request.ShareWhenCheckable(), c.shared) << c.keywords << c.params;
        EXPECT_EQ(request.shared, c.shared) << c.keywords << c.params;
        const std::string url = CraigJsonSearchURL(request, 1, "craigslist.org");
        EXPECT_EQ(url.find("query=") == std::string::npos, c.shared) << url;
    }

    TCraigTodayRequest request;
    request.keywords = TCraigKeywordQuery::FromKeywords("\"road bike\" -kids");
    request.params = "&srchType=T&min_price=50&max_price=700&hasPic=1";
    ASSERT_TRUE(request.ShareWhenCheckable());
    struct TAdCase {
        std::string title;
        double price;
        bool picture;
        bool passes;
    } ads[] = {
        {"Road Bike, 54 cm", 300, true, true},
        {"road bike", 50, true, true},
        {"road bike", 700, true, true},
        {"bike for the road", 300, true, false},  // the phrase, not its words
        {"kids road bike", 300, true, false},
        {"road bike", 49, true, false},
        {"road bike", 701, true, false},
        {"road bike", -1, true, false},  // no price shown: outside a price window
        {"road bike", 300, false, false},
    };
    for (const auto& a : ads) {
        TCraigJsonAd ad;
        ad.title = a.title;
        ad.price = a.price;
        if (a.picture) ad.pictureIds = {"3:00a0a_abcDEF_0CI0qt"};
        EXPECT_EQ(request.JsonAdPasses(ad), a.passes) << a.title << " " << a.price;
    }
}

class CraigTodayLinksTest : public ::testing::Test {
protected:
    TCraigSiteSearch& Craig(TSearch& aSearch) {
        return static_cast<TCraigSiteSearch&>(*aSearch.GetSiteSearch(ssCraigslist));
    }
    std::optional<TCraigTodayRequest> Request(TSearch& aSearch, int aPlace, int aCategory, int aPage = 1) {
        TCLock lock(aSearch.GetCriticalSection());
        return Craig(aSearch).MakeTodayRequest(*fTrees.Place(aPlace), *fTrees.Category(aCategory), aPage);
    }
    test::TRunTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
};

TEST_F(CraigTodayLinksTest, EveryOptionUnderTodaysNames) {
    auto search = MakeCraigSearch({fTrees.Place(11)}, {fTrees.Category(10)}, "red bike -kids");
    search->SetOnlySearchTitles(true);
    search->SetHasImage(true);
    SetOption(*search, "price_min", "0.5");
    SetOption(*search, "price_max", "300");
    search->SetZIPCode("94110");
    search->SetDistance(25);
    const auto request = Request(*search, 11, 10, 2);
    ASSERT_TRUE(request);
    EXPECT_EQ(CraigJsonSearchURL(*request, 1, "craigslist.org"),
              "https://sapi.craigslist.org/web/v8/postings/search/full?batch=1-360-360-0-0&cc=US&lang=en"
              "&searchPath=bik&query=red+bike&sort=date&srchType=T&hasPic=1&min_price=0.5&max_price=300"
              "&postal=94110&search_distance=25");
    EXPECT_EQ(CraigSearchPageURL(*request, "craigslist.org"),
              "https://sfbay.craigslist.org/search/eby/bik?query=red+bike&sort=date&srchType=T&hasPic=1&min_price=0.5"
              "&max_price=300&postal=94110&search_distance=25&s=360");
    EXPECT_EQ(request->subArea, "eby");
    EXPECT_TRUE(request->AdPasses("Red bike", "eby", "oakland"));
    EXPECT_FALSE(request->AdPasses("Red bike", "sfc", "mission")) << "another sub-area's ad of the area's batch";
    EXPECT_FALSE(request->AdPasses("Red kids bike", "eby", "oakland")) << "excluded on the title";
}

TEST_F(CraigTodayLinksTest, HousingJobsAndClosedSections) {
    auto housing = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(20)}, "");
    SetOption(*housing, "bedrooms", "2");
    SetOption(*housing, "cats", "yes");
    SetOption(*housing, "dogs", "yes");
    SetOption(*housing, "price_min", "0");
    EXPECT_EQ(Request(*housing, 10, 20)->params, "&min_bedrooms=2&pets_cat=1&pets_dog=1")
        << "a price of 0 is no limit";

    auto jobs = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(30)}, "c++");
    SetOption(*jobs, "telecommute", "yes");
    SetOption(*jobs, "internship", "yes");
    EXPECT_EQ(Request(*jobs, 10, 30)->params, "&is_telecommuting=1&is_internship=1");
    for (const char* name : {"contract", "part_time", "non_profit"}) SetOption(*jobs, name, "yes");
    EXPECT_EQ(Request(*jobs, 10, 30)->params, "") << "all five set is no filter";

    auto personals = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(40)}, "");
    EXPECT_FALSE(Request(*personals, 10, 40)) << "personals closed in 2018: only old servers are asked";
}

TEST_F(CraigTodayLinksTest, NeighbourhoodsAreMatchedOnThePlaceTheSiteNames) {
    auto two = MakeCraigSearch({fTrees.Place(21), fTrees.Place(23)}, {fTrees.Category(50)}, "");
    two->ExpandLocations();
    const auto request = Request(*two, 21, 50);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->neighbourhoods, (std::vector<std::string>{"back bay", "fenway"}));
    EXPECT_TRUE(request->AdPasses("x", "", "Fenway"));
    EXPECT_FALSE(request->AdPasses("x", "", "south end"));
}

TEST(CraigSearchPage, TheStaticListJoinedWithItsJsonLdByPositionAndTitle) {
    const auto page = ReadCraigSearchPage(Fixture("search_page.html"));
    ASSERT_EQ(page.problem, "");
    ASSERT_EQ(page.ads.size(), 3u);
    EXPECT_EQ(page.itemsSkipped, 1) << "the entry without an address";
    EXPECT_EQ(page.detailsMissing, 2) << "one JSON-LD entry of another title, one missing";
    const TCraigPageAd& first = page.ads[0];
    EXPECT_EQ(first.title, "Red & blue bike");
    EXPECT_EQ(first.link, "https://sfbay.craigslist.org/eby/bik/d/oakland-red-blue-bike/7800000012.html");
    EXPECT_EQ(first.price, 1200);
    EXPECT_EQ(first.place, "oakland");
    EXPECT_EQ(first.pictures.size(), 2u);
    EXPECT_TRUE(first.hasGeo);
    EXPECT_DOUBLE_EQ(first.latitude, 37.8);
    EXPECT_EQ(page.ads[1].price, -1);
    EXPECT_TRUE(page.ads[1].pictures.empty()) << "the other ad's pictures are not taken";
    EXPECT_EQ(page.ads[2].link, "/bik/d/last-one/7800000014.html");
    EXPECT_EQ(page.ads[2].price, 40);
}

TEST(CraigSearchPage, BrokenOrShortJsonLdKeepsTheListsAds) {
    std::string html = Fixture("search_page.html");
    html.replace(html.find("\"itemListElement\""), 5, "\"it{{");
    const auto page = ReadCraigSearchPage(html);
    EXPECT_EQ(page.ads.size(), 3u);
    EXPECT_EQ(page.detailsMissing, 3);
    EXPECT_EQ(page.ads[0].price, 1200) << "the list's own price";
    EXPECT_EQ(ReadCraigSearchPage("<html><body>new layout</body></html>").problem,
              "the search page holds no result list");
}

TEST(CraigSearchPage, TheParserChoosesTheFormatByWhatTheAnswerHolds) {
    TCraigSiteResultsParser parser;
    std::vector<TParsedResult> results;
    parser.SetOnResultParsed([&](const TParsedResult& aResult) { results.push_back(aResult); });
    parser.SetHTML(Fixture("search_page.html"));
    EXPECT_EQ(parser.Parse(), 3);
    EXPECT_EQ(results[0].imageUrl, "https://images.craigslist.org/00a0a_one_600x450.jpg");
    results.clear();
    parser.SetHTML(R"({"data":{"decode":{"minPostingId":10,"minPostedDate":1765400000,"locations":[[1,"sfbay",""]]},)"
                   R"("items":[[1,0,68,25,"0:0~37.7~-122.4",[4,"3:abc"],[6,"lamp"],"Lamp"]],"totalResultCount":1}})");
    EXPECT_EQ(parser.Parse(), 1);
    EXPECT_EQ(results[0].link, "https://sfbay.craigslist.org/sss/d/lamp/11.html");
    EXPECT_EQ(results[0].imageUrl, "https://images.craigslist.org/abc_300x300.jpg");
    EXPECT_EQ(results[0].pictures, (std::vector<std::string>{"https://images.craigslist.org/abc_600x450.jpg"}));
    EXPECT_FALSE(results[0].date.empty());
}

TEST(CraigAreas, FoundByHostNameAndSubAreasByAbbreviation) {
    TCraigAreas areas;
    std::string problem;
    ASSERT_TRUE(TCraigAreas::Read(Fixture("areas_small.json"), areas, problem)) << problem;
    EXPECT_EQ(areas.Count(), 3u) << "the entry without a numeric id is left out";
    ASSERT_TRUE(areas.FindByHost("SFBay"));
    EXPECT_EQ(areas.FindByHost("sfbay")->areaId, 1);
    EXPECT_TRUE(TCraigAreas::HasSubArea(*areas.FindByHost("sfbay"), "eby"));
    EXPECT_FALSE(TCraigAreas::HasSubArea(*areas.FindByHost("sfbay"), "sby"));
    EXPECT_EQ(areas.FindByHost("losangeles")->areaId, 7);
    EXPECT_EQ(areas.FindByHost("oakland"), nullptr);
    EXPECT_FALSE(TCraigAreas::Read("{\"not\":\"a list\"}", areas, problem));
    EXPECT_EQ(problem, "the areas list is not a JSON array");
}

TEST(CraigAreas, TheFullReferenceListNamesEveryArea) {
    std::ifstream in(trawlix::test::TestsDir() / "sitesim" / "fixtures" / "craigslist_areas.json");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    TCraigAreas areas;
    std::string problem;
    ASSERT_TRUE(TCraigAreas::Read(text, areas, problem));
    EXPECT_EQ(areas.Count(), 707u);
    EXPECT_EQ(areas.FindByHost("boston")->areaId, 4);
}

TEST(CraigAreas, AKeptListServesThirtyDaysThenAnOlderCopyWhenNoneCanBeFetched) {
    test::TempDir folder;
    const fs::path file = folder.Path() / cCraigAreasFileName;
    std::ofstream(file) << Fixture("areas_small.json");
    std::string problem;
    ForgetCraigAreas();
    auto areas = LoadCraigAreas(folder.Path().string(), "craigslist.org", nullptr, problem);
    ASSERT_TRUE(areas);
    EXPECT_EQ(problem, "") << "a young copy is not fetched again";
    ForgetCraigAreas();
    fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(24 * 31));
    areas = LoadCraigAreas(folder.Path().string(), "craigslist.org", nullptr, problem);
    ASSERT_TRUE(areas) << "the old copy still names the areas";
    EXPECT_EQ(problem, "the areas list could not be fetched");
    ForgetCraigAreas();
    fs::remove(file);
    EXPECT_FALSE(LoadCraigAreas(folder.Path().string(), "craigslist.org", nullptr, problem));
    ForgetCraigAreas();
}

}  // namespace
}  // namespace trawlix

namespace trawlix {
namespace {

TEST(CraigPostingPage, TodaysAdPageGivesTextAttributesPicturesTimesAndMap) {
    const TCraigPosting posting = ReadCraigPosting(Fixture("posting_today.html"));
    ASSERT_TRUE(posting.isToday);
    EXPECT_FALSE(posting.gone);
    EXPECT_EQ(posting.title, "Solid oak desk & chair") << "the title of the page, not of its JSON-LD";
    EXPECT_EQ(posting.description, "Solid oak desk & chair.\nPick up in oakland only.") << "without the QR code line";
    EXPECT_EQ(posting.attributes, (std::vector<std::string>{"condition: good", "make / manufacturer: oakworks"}));
    EXPECT_EQ(posting.pictures.size(), 2u);
    EXPECT_EQ(posting.price, 150);
    EXPECT_EQ(posting.posted, "2025-12-10T10:15:00-0800");
    EXPECT_EQ(posting.updated, "2025-12-11T08:00:00-0800");
    EXPECT_TRUE(posting.hasGeo);
    EXPECT_DOUBLE_EQ(posting.latitude, 37.81);
    EXPECT_TRUE(posting.replyBehindCaptcha);
}

TEST(CraigPostingPage, RemovedAdsAndTheScrapersOnTodaysPage) {
    for (const char* notice : {"This posting has been deleted by its author.", "This posting has expired.",
                               "This posting has been flagged for removal."}) {
        const std::string page = std::string("<html><body><section id=\"postingbody\">") + notice + "</section></body></html>";
        EXPECT_TRUE(ReadCraigPosting(page).gone) << notice;
    }
    const std::string page = Fixture("posting_today.html");
    EXPECT_EQ(GetEntryEmail(TPostingSource::Craigslist, page), "") << "the page carries no address";
    EXPECT_EQ(GetEntryImageURLs(TPostingSource::Craigslist, page),
              "https://images.craigslist.org/00a0a_one_600x450.jpg\thttps://images.craigslist.org/00b0b_two_600x450.jpg");
    EXPECT_EQ(GetEntryDescription(TPostingSource::Craigslist, page),
              "Solid oak desk & chair.\nPick up in oakland only.\ncondition: good\nmake / manufacturer: oakworks");
    EXPECT_FALSE(ReadCraigPosting("<html><div id=\"userbody\">old</div></html>").isToday);
}

// The ad's page shown in the preview: its text, pictures and coordinates go into the result,
// its lower price is a price drop, and with its text the same ad posted elsewhere folds.
TEST(CraigPostingPage, TheShownPageFeedsTheResultItsPriceDropAndItsFolding) {
    const auto ad = [](const std::string& aLink, double aPrice, double aPosted, const std::string& aText) {
        return std::make_shared<TEntry>(ssCraigslist, "Dec 10", "Solid oak desk & chair", aLink, aPrice, "", "",
                                        false, 0, aPosted, aText, "", "");
    };
    const IEntry elsewhere = ad("https://sfbay.craigslist.org/eby/fua/d/desk/1.html", 150, 46000,
                                "Solid oak desk & chair. Pick up in oakland only. condition: good "
                                "make / manufacturer: oakworks");
    const IEntry shown = ad("https://oakland.craigslist.org/fua/d/desk/2.html", 180, 46001, "");
    TSearch search;
    search.AddSearchResult(elsewhere);
    search.AddSearchResult(shown);
    const std::string page = Fixture("posting_today.html");
    const IEntry details = ReadPostingDetails(*shown, page);
    ASSERT_TRUE(details);
    const auto changes = shown->GetChangeCount();
    EXPECT_TRUE(search.TakeAdPageDetails(shown, *details)) << "same title, price and text: one ad";
    EXPECT_GT(shown->GetChangeCount(), changes);
    EXPECT_EQ(shown->GetPrice(), 150);
    EXPECT_EQ(shown->GetPriceWas(), 180);
    EXPECT_EQ(shown->GetDescription(), GetEntryDescription(TPostingSource::Craigslist, page));
    EXPECT_EQ(shown->GetPictureUrls().size(), 2u);
    EXPECT_TRUE(shown->GetHasGeo());
    EXPECT_EQ(shown->GetDuplicateOf(), elsewhere->GetLink()) << "posted later, it folds under the first";

    struct TCase {
        std::string page;
        TSiteSearchEnum site;
        const char* why;
    } none[] = {
        {"<html><div id=\"userbody\">old</div></html>", ssCraigslist, "not one of today's pages"},
        {"<section id=\"postingbody\">This posting has expired.</section>", ssCraigslist, "a removed ad"},
        {page, ssEBay, "another site's ad"},
    };
    for (const auto& c : none) {
        const TEntry other(c.site, "", "x", "https://example.org/3.html", 1, "", "", false, 0, 0, "", "", "");
        EXPECT_FALSE(ReadPostingDetails(other, c.page)) << c.why;
    }
}

}  // namespace
}  // namespace trawlix
