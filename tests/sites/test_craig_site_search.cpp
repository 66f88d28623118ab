#include "sites/craig_site_search.h"

#include <gtest/gtest.h>

#include "model/place_selection.h"
#include "run/search_run_fixture.h"
#include "run/search_thread.h"
#include "sites/craig_results_parser.h"

namespace trawlix {
namespace {

using test::MakeCraigSearch;
using test::SetOption;

class CraigLinksTest : public ::testing::Test {
protected:
    TCraigSiteSearch& Craig(TSearch& aSearch) {
        return static_cast<TCraigSiteSearch&>(*aSearch.GetSiteSearch(ssCraigslist));
    }
    std::string Link(TSearch& aSearch, int aPlace, int aCategory, int aPage = 1) {
        TCLock lock(aSearch.GetCriticalSection());
        return Craig(aSearch).MakeSearchLink(*fTrees.Place(aPlace), *fTrees.Category(aCategory), aPage);
    }
    std::vector<std::string> Links(TSearch& aSearch, bool aCalledFromUser) {
        aSearch.SetCalledFromUser(aCalledFromUser);
        aSearch.ExpandLocations();
        TBaseSearchThread thread(std::make_unique<TCraigSiteResultsParser>(), true);
        return Craig(aSearch).MakeSearchLinks(thread);
    }

    test::TRunTrees fTrees;
    test::TScopedRunEnvironment fEnvironment{&fTrees.places};
};

TEST_F(CraigLinksTest, QueryLinksByKeywordsSubAreaAndPage) {
    struct TCase {
        int place;
        std::string keywords;
        int page;
        std::string expected;
    } cases[] = {
        {10, "red bike", 1, "http://sfbay.craigslist.org/search/bik?query=red+bike&minAsk=min&maxAsk=max"},
        {10, "red bike", 3, "http://sfbay.craigslist.org/search/bik?query=red+bike&minAsk=min&maxAsk=max&s=200"},
        {10, "", 2, "http://sfbay.craigslist.org/search/bik?query=+&minAsk=min&maxAsk=max&s=100"},
        {11, "red bike", 1, "http://sfbay.craigslist.org/search/bik/eby?query=red+bike&minAsk=min&maxAsk=max"},
        {10, "red\r\nbike", 1, "http://sfbay.craigslist.org/search/bik?query=red+bike&minAsk=min&maxAsk=max"},
        {10, "caf\xC3\xA9 & co", 1,
         "http://sfbay.craigslist.org/search/bik?query=caf%C3%A9+%26+co&minAsk=min&maxAsk=max"},
    };
    for (const auto& c : cases) {
        auto search = MakeCraigSearch({fTrees.Place(c.place)}, {fTrees.Category(10)}, c.keywords);
        EXPECT_EQ(Link(*search, c.place, 10, c.page), c.expected) << c.keywords << " page " << c.page;
    }
}

TEST_F(CraigLinksTest, TitlesPicturesAndPrices) {
    auto search = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(10)}, "bike");
    search->SetOnlySearchTitles(true);
    search->SetHasImage(true);
    SetOption(*search, "price_min", "50");
    SetOption(*search, "price_max", "300");
    EXPECT_EQ(Link(*search, 10, 10, 2),
              "http://sfbay.craigslist.org/search/bik?query=bike&srchType=T&hasPic=1&minAsk=50&maxAsk=300&s=100");
    // Only a zero that is the whole value stands for "no limit".
    SetOption(*search, "price_min", "0.5");
    SetOption(*search, "price_max", "0");
    EXPECT_EQ(Link(*search, 10, 10, 1),
              "http://sfbay.craigslist.org/search/bik?query=bike&srchType=T&hasPic=1&minAsk=0.5&maxAsk=max");
}

TEST_F(CraigLinksTest, OptionGroups) {
    auto housing = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(20)}, "");
    SetOption(*housing, "cats", "yes");
    EXPECT_EQ(Link(*housing, 10, 20), "http://sfbay.craigslist.org/search/apa?query=+&minAsk=min&maxAsk=max&addTwo=purrr")
        << "bedrooms 0+ is no bedrooms parameter";
    SetOption(*housing, "bedrooms", "2");
    SetOption(*housing, "dogs", "yes");
    EXPECT_EQ(Link(*housing, 10, 20),
              "http://sfbay.craigslist.org/search/apa?query=+&bedrooms=2&minAsk=min&maxAsk=max&addTwo=purrr&addThree=wooof");

    auto jobs = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(30)}, "c++");
    SetOption(*jobs, "telecommute", "yes");
    SetOption(*jobs, "part_time", "yes");
    EXPECT_EQ(Link(*jobs, 10, 30), "http://sfbay.craigslist.org/search/sof?query=c%2B%2B&addOne=telecommuting&addFour=part-time");
    for (const char* name : {"contract", "internship", "non_profit"}) SetOption(*jobs, name, "yes");
    EXPECT_EQ(Link(*jobs, 10, 30), "http://sfbay.craigslist.org/search/sof?query=c%2B%2B") << "all five set is no filter";

    auto personals = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(40)}, "");
    SetOption(*personals, "age_min", "30");
    EXPECT_EQ(Link(*personals, 10, 40), "http://sfbay.craigslist.org/search/stp?query=+&minAsk=30&maxAsk=max");

    auto community = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(50)}, "");
    EXPECT_EQ(Link(*community, 10, 50), "http://sfbay.craigslist.org/search/act?query=+");
}

TEST_F(CraigLinksTest, AnOptionMissingFromTheSearchLeavesTheQueryUnrestricted) {
    auto search = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(10)}, "bike");
    FillProperties(search->GetPropertyContainer(), TPropertySelection::FromCategoryNames({}, false, false));
    ASSERT_EQ(search->GetPropertyContainer().GetPropByName("price_min"), nullptr);
    EXPECT_EQ(Link(*search, 10, 10), "http://sfbay.craigslist.org/search/bik?query=bike&minAsk=min&maxAsk=max");
}

TEST_F(CraigLinksTest, NoLinkForADisabledCategoryOrAPlaceWithoutAddress) {
    auto search = MakeCraigSearch({fTrees.Place(12), fTrees.Place(14)}, {fTrees.Category(13), fTrees.Category(10)}, "x");
    EXPECT_EQ(Link(*search, 12, 13), "");
    EXPECT_EQ(Link(*search, 14, 10), "");
    search->SetPagesCount(1);
    auto links = Links(*search, true);
    ASSERT_EQ(links.size(), 1u) << "the other combinations are still searched";
    EXPECT_EQ(links[0], "http://oakland.craigslist.org/search/bik?query=x&minAsk=min&maxAsk=max 0 1 1");
}

TEST_F(CraigLinksTest, NeighbourhoodsSomeOrAll) {
    auto two = MakeCraigSearch({fTrees.Place(21), fTrees.Place(23)}, {fTrees.Category(50)}, "");
    two->SetPagesCount(1);
    auto links = Links(*two, true);
    ASSERT_EQ(links.size(), 1u) << "the neighbourhoods of one city give one link";
    EXPECT_EQ(links[0], "http://boston.craigslist.org/search/act?query=+&nh=1&nh=3 0 0 1");

    auto all = MakeCraigSearch({fTrees.Place(20)}, {fTrees.Category(50)}, "");
    all->SetPagesCount(1);
    links = Links(*all, true);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0], "http://boston.craigslist.org/search/act?query=+ 0 0 1");
}

TEST_F(CraigLinksTest, LinksComePageByPageThenCategoryThenPlace) {
    auto search = MakeCraigSearch({fTrees.Place(12), fTrees.Place(13)}, {fTrees.Category(10), fTrees.Category(11)}, "a");
    search->SetPagesCount(2);
    auto links = Links(*search, true);
    std::vector<std::string> heads;
    for (const auto& link : links) heads.push_back(link.substr(7, link.find('.') - 7) + link.substr(link.find(' ')));
    EXPECT_EQ(heads, (std::vector<std::string>{"oakland 0 0 1", "losangeles 1 0 1", "oakland 0 1 1", "losangeles 1 1 1",
                                               "oakland 0 0 2", "losangeles 1 0 2", "oakland 0 1 2",
                                               "losangeles 1 1 2"}));
}

TEST_F(CraigLinksTest, ACityWithItsSubAreasSearchesEach) {
    auto search = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(10)}, "bike");
    search->SetPagesCount(1);
    auto links = Links(*search, true);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[1], "http://sfbay.craigslist.org/search/bik/eby?query=bike&minAsk=min&maxAsk=max 1 0 1");
}

TEST_F(CraigLinksTest, AnUnattendedRunAsksOnlyForFirstPages) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "bike");
    search->SetPagesCount(5);
    EXPECT_EQ(Links(*search, true).size(), 5u);
    EXPECT_EQ(Links(*search, false).size(), 1u);
}

TEST_F(CraigLinksTest, TwoCategoriesWithOneCodeGiveOneLink) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10), fTrees.Category(12)}, "bike");
    search->SetPagesCount(1);
    EXPECT_EQ(Links(*search, true).size(), 1u);
}

TEST_F(CraigLinksTest, CategoryListingsAreTheCityPageOfTheCategory) {
    auto search = MakeCraigSearch({fTrees.Place(12)}, {fTrees.Category(10)}, "bike");
    search->SetOnlyCatListings(true);
    search->SetPagesCount(4);
    auto links = Links(*search, true);
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0], "http://oakland.craigslist.org/bik 0 0 1");
    EXPECT_EQ(Craig(*search).GetDownloader(), nullptr) << "listings go through the system's transfer";
}

TEST_F(CraigLinksTest, StoppedThreadGetsTheLinksMadeSoFar) {
    auto search = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(10)}, "bike");
    search->ExpandLocations();
    TBaseSearchThread thread(std::make_unique<TCraigSiteResultsParser>(), true);
    thread.Terminate();
    EXPECT_TRUE(Craig(*search).MakeSearchLinks(thread).empty());
}

TEST_F(CraigLinksTest, PageGroupingDropsTheFirstParameterStartingWithS) {
    auto search = MakeCraigSearch({fTrees.Place(10)}, {fTrees.Category(10)}, "");
    auto& craig = Craig(*search);
    EXPECT_EQ(craig.GetLinkWithoutPage("http://h/search/bik?query=a&minAsk=min&s=200"),
              "http://h/search/bik?query=a&minAsk=min");
    EXPECT_EQ(craig.GetLinkWithoutPage("http://h/search/bik?query=a&srchType=T&s=100"),
              "http://h/search/bik?query=a&s=100")
        << "a title search loses its type instead: its pages stay apart";
}

TEST(CraigFlag, ReportAddresses) {
    EXPECT_EQ(CraigFlagURL("http://sfbay.craigslist.org/eby/bik/2712345678.html", TCraigFlagCode::Spam, "craigslist.org"),
              "http://sfbay.craigslist.org/flag/?flagCode=15&postingID=2712345678");
    EXPECT_EQ(CraigFlagURL("http://boston.craigslist.org/act/99.html", TCraigFlagCode::Best, "craigslist.org"),
              "http://boston.craigslist.org/flag/?flagCode=9&postingID=99");
    EXPECT_EQ(CraigFlagURL("http://example.com/ad/1.html", TCraigFlagCode::Prohibited, "craigslist.org"), "");
    EXPECT_EQ(static_cast<int>(TCraigFlagCode::Miscategorized), 16);
    EXPECT_EQ(static_cast<int>(TCraigFlagCode::Prohibited), 28);
}

}  // namespace
}  // namespace trawlix
