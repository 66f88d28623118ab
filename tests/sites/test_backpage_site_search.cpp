#include "sites/backpage_site_search.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include "sites/feed_sites_fixture.h"

namespace trawlix {
namespace {

using test::FeedLinks;
using test::MakeFeedSearch;
using test::TOptions;
using BackpageLinksTest = test::TFeedLinksTest;

TEST_F(BackpageLinksTest, LinksForEveryPairOfItems) {
    const std::string bikes = "/online/exports/Rss.xml?section=4&category=101&priceMin=min&priceMax=max";
    struct TCase {
        const char* what;
        std::vector<int> places, categories;
        std::vector<std::string> expected;
    } cases[] = {
        {"a place with two items",
         {10},
         {10},
         {"http://sfbay.backpage.com" + bikes + " 0 0", "http://oakland.backpage.com" + bikes + " 0 0"}},
        {"two categories with one Backpage id", {12}, {10, 11}, {"http://oakland.backpage.com" + bikes + " 0 0"}},
        {"a link made for an earlier place",
         {10, 12},
         {10},
         {"http://sfbay.backpage.com" + bikes + " 0 0", "http://oakland.backpage.com" + bikes + " 0 0"}},
        {"a category with two items, one param with a space",
         {12},
         {12},
         {"http://oakland.backpage.com/online/exports/Rss.xml?section=4&category=102&priceMin=min&priceMax=max 0 0",
          "http://oakland.backpage.com/online/exports/Rss.xml?section=4&category=Old+Things&priceMin=min&priceMax=max "
          "0 0"}},
        {"categories before places",
         {12, 10},
         {30, 10},
         {"http://oakland.backpage.com/online/exports/Rss.xml?section=8&category=301 0 0",
          "http://sfbay.backpage.com/online/exports/Rss.xml?section=8&category=301 1 0",
          "http://oakland.backpage.com" + bikes + " 0 1", "http://sfbay.backpage.com" + bikes + " 1 1"}},
        {"places and categories without items or address", {13, 14, 12}, {14, 40},
         {"http://oakland.backpage.com/online/exports/Rss.xml?section=9&category=401 2 1"}},
    };
    for (const auto& c : cases) {
        auto search = MakeFeedSearch(ssBackpage, fTrees, c.places, c.categories, "");
        search->SetPagesCount(3);
        EXPECT_EQ(FeedLinks(*search, ssBackpage), c.expected) << c.what << ": Backpage has no pages";
    }
}

TEST_F(BackpageLinksTest, KeywordsPicturesAndOptions) {
    const std::string oakland = "http://oakland.backpage.com/online/exports/Rss.xml?";
    struct TCase {
        int category;
        std::string keywords, backpageKeywords;
        bool hasImage;
        TOptions options;
        std::string expected;
    } cases[] = {
        {10, "red bike", "", false, {}, "section=4&category=101&keyword=red%20bike&priceMin=min&priceMax=max"},
        {10, "red bike", "  ", false, {}, "section=4&category=101&keyword=red%20bike&priceMin=min&priceMax=max"},
        {10, "red bike", "blue+green", false, {}, "section=4&category=101&keyword=blue%2Bgreen&priceMin=min&priceMax=max"},
        {10, "caf\xC3\xA9", "", true, {}, "section=4&category=101&keyword=caf%C3%A9&hasImage=yes&priceMin=min&priceMax=max"},
        {10, "", "", false, {{"price_min", "50"}, {"price_max", "300"}}, "section=4&category=101&priceMin=50&priceMax=300"},
        {10, "", "", false, {{"price_min", "0.5"}, {"price_max", "10"}}, "section=4&category=101&priceMin=0.5&priceMax=10"},
        {20, "", "", false, {}, "section=6&category=201&priceMin=min&priceMax=max"},
        {20, "", "", false, {{"bedrooms", "2"}, {"price_min", "900"}, {"cats", "yes"}, {"dogs", "yes"}},
         "section=6&category=201&bedrooms=2&priceMin=900&priceMax=max&petsAccepted=Cats+Ok&petsAccepted=Dogs+Ok"},
        {20, "", "", false, {{"dogs", "yes"}}, "section=6&category=201&priceMin=min&priceMax=max&petsAccepted=Dogs+Ok"},
        {30, "c++", "", false, {{"part_time", "yes"}}, "section=8&category=301&keyword=c%2B%2B"},
        {40, "", "", false, {{"age_min", "30"}}, "section=9&category=401"},
    };
    for (const auto& c : cases) {
        auto search = MakeFeedSearch(ssBackpage, fTrees, {12}, {c.category}, c.keywords);
        search->SetBackpageKeywords(c.backpageKeywords);
        search->SetHasImage(c.hasImage);
        test::SetOptions(*search, c.options);
        EXPECT_EQ(FeedLinks(*search, ssBackpage), std::vector<std::string>{oakland + c.expected + " 0 0"})
            << c.keywords << " / " << c.backpageKeywords << " in category " << c.category;
    }
}

TEST_F(BackpageLinksTest, AnOptionMissingFromTheSearchLeavesTheFeedUnrestricted) {
    auto search = MakeFeedSearch(ssBackpage, fTrees, {12}, {20}, "");
    FillProperties(search->GetPropertyContainer(), TPropertySelection::FromCategoryNames({}, false, false));
    ASSERT_EQ(search->GetPropertyContainer().GetPropByName("bedrooms"), nullptr);
    EXPECT_EQ(FeedLinks(*search, ssBackpage),
              std::vector<std::string>{
                  "http://oakland.backpage.com/online/exports/Rss.xml?section=6&category=201&priceMin=min&priceMax=max 0 0"});
}

TEST_F(BackpageLinksTest, AnUnknownBackpageCategoryFailsTheWholeList) {
    auto search = MakeFeedSearch(ssBackpage, fTrees, {12}, {10, 13}, "");
    EXPECT_THROW(FeedLinks(*search, ssBackpage), std::runtime_error);

    auto withoutList = MakeFeedSearch(ssBackpage, fTrees, {12}, {10}, "");
    static_cast<TBackpageSiteSearch&>(*withoutList->GetSiteSearch(ssBackpage)).SetBackpageCategories(nullptr);
    EXPECT_THROW(FeedLinks(*withoutList, ssBackpage), std::runtime_error) << "no session, so no categories at all";
}

TEST_F(BackpageLinksTest, StoppedThreadGetsTheLinksMadeSoFar) {
    auto search = MakeFeedSearch(ssBackpage, fTrees, {10}, {10}, "bike");
    search->ExpandLocations();
    TBaseSearchThread thread(std::make_unique<TBaseResultsParser>(), false);
    thread.Terminate();
    EXPECT_TRUE(SiteSearchRun(*search, ssBackpage)->MakeSearchLinks(thread).empty());
}

}  // namespace
}  // namespace trawlix
