#include "sites/autotrader_site_search.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "sites/autotrader_results_parser.h"
#include "sites/car_run_fixture.h"

namespace trawlix {
namespace {

using test::MakeCarSearch;
using test::SetOption;

const std::string cAutotraderBase =
    "http://www.autotrader.com/fyc/searchresults.jsp?num_records=100&search_lang=en"
    "&page_location=findacar%3A%3Aispsearchform&marketZipError=false&style_flag=2&make=&advanced=y"
    "&highlightFirstMakeModel=&showZipError=n&default_sort=&awsp=false&systime=&scarid=286953010"
    "&sort_type=distance&address=";
const std::string cUnsetOptions =
    "&search_type=both&certified=&body_code=0&start_year=&end_year=&min_price=&max_price=&seller_type=b"
    "&transmission=&engine=&drive=&doors=&fuel=&max_mileage=&color=&only_photo=&only_price=&only_special=";
constexpr int cRandomLimit = 999999999;

class AutotraderLinksTest : public ::testing::Test {
protected:
    std::unique_ptr<TSearch> Search(const std::string& aKeywords, const TPlaceList& aPlaces = {},
                                    const TPlaceList& aCategories = {}) {
        return MakeCarSearch(ssAutotrader, aPlaces.empty() ? TPlaceList{fTrees.Place(10)} : aPlaces,
                             aCategories.empty() ? TPlaceList{fTrees.Category(52)} : aCategories, aKeywords);
    }
    static TAutotraderSiteSearch& Autotrader(TSearch& aSearch) {
        return dynamic_cast<TAutotraderSiteSearch&>(*aSearch.GetSiteSearch(ssAutotrader));
    }
    std::string Link(TSearch& aSearch, int aPage = 1, int aPlace = 10) {
        std::string link;
        TCLock lock(aSearch.GetCriticalSection());
        Autotrader(aSearch).MakeSearchLink(*fTrees.Place(aPlace), aPage, link);
        return link.empty() ? link : test::WithoutRandom(link, "rdm", cRandomLimit);
    }
    std::vector<std::string> Lines(TSearch& aSearch, bool aCalledFromUser = true) {
        return test::RunLinks(aSearch, ssAutotrader, aCalledFromUser, "rdm", cRandomLimit);
    }

    test::TCarTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
};

TEST_F(AutotraderLinksTest, UnsetOptionsAroundThePlacesZipCode) {
    auto search = Search("");
    EXPECT_EQ(Link(*search),
              cAutotraderBase + "94103&distance=25&keywordsrep=&keywordsfyc=&keywords_display=" + cUnsetOptions);
}

TEST_F(AutotraderLinksTest, KeywordsGoOutInThreeForms) {
    struct TCase {
        std::string optionKeywords;
        std::string searchKeywords;
        std::string expected;
    } cases[] = {
        {"", "ab", "&keywordsrep=097098&keywordsfyc=__YWI%2C__&keywords_display=ab&"},
        {"ab", "civic", "&keywordsrep=097098&keywordsfyc=__YWI%2C__&keywords_display=ab&"},
        {"", "a b", "&keywordsrep=097032098&keywordsfyc=__YSBi__&keywords_display=a%20b&"},
        {"", "", "&keywordsrep=&keywordsfyc=&keywords_display=&search_type="},
    };
    for (const auto& c : cases) {
        auto search = Search(c.searchKeywords);
        if (!c.optionKeywords.empty()) SetOption(*search, "autotrader_keywords", c.optionKeywords);
        const std::string link = Link(*search);
        EXPECT_NE(link.find(c.expected), std::string::npos) << c.expected << "\n in " << link;
    }
}

TEST_F(AutotraderLinksTest, OptionsBecomeTheirParameters) {
    struct TCase {
        std::vector<std::pair<std::string, std::string>> options;
        std::string piece;  // with its neighbours, so that its place in the link is checked too
    } cases[] = {
        {{{"autotrader_car_usability", "Certified Cars"}}, "&keywords_display=&search_type=certified&certified=y&body"},
        {{{"autotrader_car_usability", "Used Cars"}}, "&search_type=used&certified=&"},
        {{{"autotrader_car_usability", "New Cars"}}, "&search_type=new&certified=&"},
        {{{"autotrader_body_style", "Van / Minivan"}}, "&certified=&body_style=VANS&body_code=64&start_year="},
        {{{"autotrader_body_style", "Convertible"}}, "&body_style=CONVERT&body_code=1&"},
        {{{"autotrader_body_style", "Wagon"}}, "&body_style=WAGON&body_code=128&"},
        {{{"autotrader_year_min", "2001"}}, "&body_code=0&start_year=2001&end_year=&min_price="},
        {{{"autotrader_year_max", "2009"}}, "&start_year=&end_year=2009&"},
        {{{"price_min", "1000.5"}, {"price_max", "9000"}}, "&end_year=&min_price=1000&max_price=9000&seller_type="},
        {{{"price_max", "7000.5"}}, "&min_price=&max_price=7000&"},
        {{{"autotrader_seller_type", "Private Sellers Only"}}, "&max_price=&seller_type=p&transmission="},
        {{{"autotrader_seller_type", "Dealers Only"}}, "&seller_type=d&"},
        {{{"autotrader_transmission", "Manual"}}, "&seller_type=b&transmission=Manual&engine="},
        {{{"autotrader_engine", "10 Cylinder"}}, "&transmission=&engine=10+Cylinder&drive="},
        {{{"autotrader_engine", "Rotary Engine"}}, "&engine=Rotary+Engine&"},
        {{{"autotrader_engine", "Hybrid"}}, "&engine=Hybrid&"},
        {{{"autotrader_drivetrain", "All wheel drive"}}, "&engine=&drive=All+wheel+drive&doors="},
        {{{"autotrader_doors", "Three Door"}}, "&drive=&doors=Three+Door&fuel="},
        {{{"autotrader_fuel", "Diesel"}}, "&doors=&fuel=Diesel&max_mileage="},
        {{{"autotrader_mileage", "Under 100,000"}}, "&fuel=&max_mileage=100000&color="},
        {{{"autotrader_mileage", "Over 100,000"}}, "&max_mileage=100001&"},
        {{{"autotrader_mileage", "Under 15,000"}}, "&max_mileage=15000&"},
        {{{"autotrader_exterior_color", "Off White"}}, "&max_mileage=&color=OFFWHITE&only_photo="},
        {{{"autotrader_exterior_color", "Turquoise"}}, "&color=TURQUOISE&"},
        {{{"autotrader_with_photos", "yes"}}, "&color=&only_photo=1&only_price=&only_special="},
        {{{"autotrader_with_prices", "yes"}, {"autotrader_special_offers", "yes"}},
         "&only_photo=&only_price=1&only_special=1"},
    };
    for (const auto& c : cases) {
        auto search = Search("");
        for (const auto& [name, value] : c.options) SetOption(*search, name, value);
        const std::string link = Link(*search);
        EXPECT_NE(link.find(c.piece), std::string::npos) << c.piece << "\n in " << link;
    }
}

TEST_F(AutotraderLinksTest, PagesAndTheParametersThatGoBeforeComparing) {
    auto search = Search("");
    const std::string page1 = Link(*search, 1);
    const std::string page2 = Link(*search, 2);
    EXPECT_EQ(page2, page1 + "&pager.offset=100&first_record=101");
    EXPECT_EQ(Link(*search, 4), page1 + "&pager.offset=300&first_record=301");

    TAutotraderSiteSearch& site = Autotrader(*search);
    EXPECT_EQ(site.GetLinkWithoutPage(page2), page1);
    EXPECT_EQ(site.RemoveRandomParam(page2 + "&rdm=123456789"), page2);
}

TEST_F(AutotraderLinksTest, APlaceWithoutZipCodeHasNoLinkButKeepsItsCarsComLinks) {
    auto search = Search("", {fTrees.Place(13), fTrees.Place(12)});
    EXPECT_EQ(Link(*search, 1, 13), "");
    search->SetPagesCount(1);
    const auto lines = Lines(*search);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("&address=94612&"), std::string::npos) << lines[0];

    for (const auto& site : search->GetSiteSearches()) site->SetDoSearch(site->GetSite() == ssCarsCom);
    const auto carsCom = test::RunLinks(*search, ssCarsCom, true, "random", 10000);
    EXPECT_EQ(carsCom.size(), 3u) << "daly city's item and oakland's two";
}

TEST_F(AutotraderLinksTest, OneLinePerPlaceCarCategoryAndPage) {
    auto search = Search("", {fTrees.Place(10), fTrees.Place(12)},
                         {fTrees.Category(322), fTrees.Category(10), fTrees.Category(320)});
    search->SetPagesCount(2);
    const auto lines = Lines(*search);
    const std::string sf = cAutotraderBase + "94103&distance=25&keywordsrep=&keywordsfyc=&keywords_display=" + cUnsetOptions;
    const std::string oakland =
        cAutotraderBase + "94612&distance=25&keywordsrep=&keywordsfyc=&keywords_display=" + cUnsetOptions;
    const std::string page2 = "&pager.offset=100&first_record=101";
    EXPECT_EQ(lines, (std::vector<std::string>{sf + " 0 0", oakland + " 1 0", sf + " 0 2", oakland + " 1 2",
                                                sf + page2 + " 0 0", oakland + page2 + " 1 0", sf + page2 + " 0 2",
                                                oakland + page2 + " 1 2"}));
    EXPECT_EQ(Lines(*search, false).size(), 4u) << "an automatic run asks for the first pages only";
}

TEST_F(AutotraderLinksTest, AMissingCarOptionStopsTheLinksWithItsName) {
    auto search = Search("");
    search->GetPropertyContainer().DeleteProp("autotrader_doors");
    try {
        Lines(*search);
        FAIL() << "links were made without the option";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "The search has no option \"autotrader_doors\".");
    }
}

class AutotraderRunTest : public test::CarRunTest {};

TEST_F(AutotraderRunTest, TheLastAdOfAPageIsKept) {
    // Without the sponsored block the last result runs to the end of the page.
    auto search = MakeCarSearch(ssAutotrader, {fTrees.Place(13), fTrees.Place(10)}, {fTrees.Category(52)},
                                "count7 nosponsor");
    search->SetPagesCount(1);
    Run(*search);

    const auto urls = RequestedUrls();
    ASSERT_EQ(urls.size(), 1u) << "daly city has no ZIP code";
    EXPECT_NE(urls[0].find("&address=94103&"), std::string::npos) << urls[0];
    EXPECT_NE(urls[0].find("&keywords_display=count7%20nosponsor&"), std::string::npos) << urls[0];
    const auto results = Results(*search);
    EXPECT_EQ(results.size(), 7u);
    ExpectResultsFromPages(results, urls);
}

TEST_F(AutotraderRunTest, AMissingCarOptionEndsOnlyThisSitesRun) {
    auto search = MakeCarSearch(ssAutotrader, {fTrees.Place(10)}, {fTrees.Category(52)}, "count12");
    search->GetSiteSearch(ssCarsCom)->SetDoSearch(true);
    search->GetPropertyContainer().DeleteProp("autotrader_engine");
    search->SetPagesCount(1);
    Run(*search);

    const auto urls = RequestedUrls();
    ASSERT_EQ(urls.size(), 1u) << "nothing is fetched for Autotrader";
    EXPECT_NE(urls[0].find("cars.com/for-sale/"), std::string::npos) << urls[0];
    const auto results = Results(*search);
    EXPECT_EQ(results.size(), 12u);
    ExpectResultsFromPages(results, urls);
    EXPECT_FALSE(search->GetSearching());
    EXPECT_EQ(Errors(), (std::vector<std::string>{"The search has no option \"autotrader_engine\"."}))
        << "the user hears why Autotrader gave nothing";
}

}  // namespace
}  // namespace trawlix
