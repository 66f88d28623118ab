#include "sites/oodle_site_search.h"

#include <gtest/gtest.h>

#include "sites/feed_sites_fixture.h"

namespace trawlix {
namespace {

using test::FeedLinks;
using test::MakeFeedSearch;
using test::TOptions;
using OodleLinksTest = test::TFeedLinksTest;

TEST_F(OodleLinksTest, PathSegmentsFromCategoryPlaceAndOptions) {
    struct TCase {
        int category;
        bool hasImage;
        TOptions options;
        std::string expected;
    } cases[] = {
        {10, true, {}, "http://sale.oodle.com/oakland-ca/bicycles/"},
        {12, false, {}, "http://sale.oodle.com/home/oakland-ca/furniture/"},
        {10, false, {{"price_max", "500"}}, "http://sale.oodle.com/oakland-ca/bicycles/price_500-/"},
        {10, false, {{"price_min", "100"}}, "http://sale.oodle.com/oakland-ca/bicycles/price_100+/"},
        {10, false, {{"price_min", "2.5"}, {"price_max", "3.5"}}, "http://sale.oodle.com/oakland-ca/bicycles/price_2_4/"},
        {10, false, {{"price_min", "10.5"}, {"price_max", "11.5"}}, "http://sale.oodle.com/oakland-ca/bicycles/price_10_12/"},
        {20, false, {}, "http://housing.oodle.com/rent/oakland-ca/"},
        {20, false, {{"bedrooms", "3"}, {"cats", "yes"}, {"dogs", "yes"}, {"price_min", "500"}, {"price_max", "1500"}},
         "http://housing.oodle.com/rent/oakland-ca/3-bedrooms/pets_allowed_cats/pets_allowed_dogs/price_500_1500/"},
        {40, true, {{"age_min", "25"}}, "http://personals.oodle.com/oakland-ca/friends/age_25+/has_photo_thumbnail/"},
        {40, false, {{"age_max", "40"}}, "http://personals.oodle.com/oakland-ca/friends/age_40-/"},
        {40, false, {{"age_min", "25"}, {"age_max", "40"}}, "http://personals.oodle.com/oakland-ca/friends/age_25_40/"},
        {30, false, {{"telecommute", "yes"}}, "http://jobs.oodle.com/oakland-ca/software/"},
        {30,
         false,
         {{"contract", "yes"}, {"internship", "yes"}, {"part_time", "yes"}, {"non_profit", "yes"}},
         "http://jobs.oodle.com/oakland-ca/software/employee_type_contractor/employee_type_intern/"
         "employee_type_part_time/employee_type_volunteer/"},
    };
    for (const auto& c : cases) {
        auto search = MakeFeedSearch(ssOodle, fTrees, {12}, {c.category}, "");
        search->SetHasImage(c.hasImage);
        search->SetPagesCount(1);
        test::SetOptions(*search, c.options);
        EXPECT_EQ(FeedLinks(*search, ssOodle), std::vector<std::string>{c.expected + "?s=date&v=rss&o=0 0 0"})
            << "category " << c.category << ", options " << c.options.size();
    }
}

TEST_F(OodleLinksTest, KeywordsWithAlternatives) {
    const std::pair<std::string, std::string> cases[] = {
        {"a | b", "&q=a%20OR%20b"},
        {"a|b", "&q=a%20OR%20b"},
        {"red bike", "&q=red%20bike"},
        {"caf\xC3\xA9 & co", "&q=caf%C3%A9%20%26%20co"},
        {"   ", ""},
    };
    for (const auto& [keywords, expected] : cases) {
        auto search = MakeFeedSearch(ssOodle, fTrees, {12}, {10}, keywords);
        search->SetPagesCount(1);
        EXPECT_EQ(FeedLinks(*search, ssOodle),
                  std::vector<std::string>{"http://sale.oodle.com/oakland-ca/bicycles/?s=date&v=rss&o=0" + expected +
                                           " 0 0"})
            << keywords;
    }
}

TEST_F(OodleLinksTest, PagesComeFirstThenCategoriesThenPlaceItems) {
    auto search = MakeFeedSearch(ssOodle, fTrees, {10, 12}, {10, 11, 30}, "x");
    search->SetPagesCount(3);
    const std::vector<std::string> expected = {
        "http://sale.oodle.com/sf-bay-area-ca/bicycles/?s=date&v=rss&o=0&q=x 0 0",
        "http://sale.oodle.com/san-jose-ca/bicycles/?s=date&v=rss&o=0&q=x 0 0",
        "http://sale.oodle.com/oakland-ca/bicycles/?s=date&v=rss&o=0&q=x 1 0",
        "http://jobs.oodle.com/sf-bay-area-ca/software/?s=date&v=rss&o=0&q=x 0 2",
        "http://jobs.oodle.com/san-jose-ca/software/?s=date&v=rss&o=0&q=x 0 2",
        "http://jobs.oodle.com/oakland-ca/software/?s=date&v=rss&o=0&q=x 1 2",
    };
    const auto links = FeedLinks(*search, ssOodle);
    ASSERT_EQ(links.size(), 18u) << "three pages of six queries: the bicycles category repeats the bikes one";
    for (size_t i = 0; i < links.size(); ++i) {
        std::string want = expected[i % 6];
        want.replace(want.find("o=0"), 3, "o=" + std::to_string(i / 6 * 25));
        EXPECT_EQ(links[i], want) << i;
    }
    EXPECT_EQ(FeedLinks(*search, ssOodle, false).size(), 6u) << "an unattended run asks for first pages only";
}

TEST_F(OodleLinksTest, NoLinkWithoutRegionOrSubDomain) {
    auto search = MakeFeedSearch(ssOodle, fTrees, {13, 14, 12}, {14, 13, 10}, "");
    search->SetPagesCount(1);
    EXPECT_EQ(FeedLinks(*search, ssOodle),
              std::vector<std::string>{"http://sale.oodle.com/oakland-ca/bicycles/?s=date&v=rss&o=0 2 2"});
}

}  // namespace
}  // namespace trawlix
