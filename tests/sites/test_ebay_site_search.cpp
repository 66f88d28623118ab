#include "sites/ebay_site_search.h"

#include <gtest/gtest.h>

#include "sites/feed_sites_fixture.h"

namespace trawlix {
namespace {

using test::FeedLinks;
using test::MakeFeedSearch;
using test::TOptions;
using EBayLinksTest = test::TFeedLinksTest;

TEST_F(EBayLinksTest, CategoryIdOrParamsThenOptionsAndKeywords) {
    const std::string oakland = "http://oakland.ebayclassifieds.com/classified-ads/?";
    struct TCase {
        int category;
        std::string keywords;
        TOptions options;
        std::string expected;
    } cases[] = {
        {10, "", {}, "catId=1001"},
        {12, "", {}, "category=furniture+and+decor"},
        {10, "red bike", {}, "catId=1001&q=red%20bike"},
        {10, "a | b", {}, "catId=1001&q=a%20%7C%20b"},
        {10, "", {{"price_min", "50"}}, "catId=1001&minPrice=50"},
        {10, "", {{"price_min", "2.5"}, {"price_max", "3.5"}}, "catId=1001&minPrice=2&maxPrice=4"},
        {20, "", {{"bedrooms", "3"}}, "catId=2001&housingmeta.noOfBedrooms=THREE"},
        {20, "", {{"bedrooms", "0+"}, {"price_max", "1200"}}, "catId=2001&maxPrice=1200"},
        {20, "flat", {{"bedrooms", "8"}, {"price_min", "700"}, {"cats", "yes"}},
         "catId=2001&housingmeta.noOfBedrooms=EIGHT&minPrice=700&q=flat"},
        {30, "", {{"contract", "yes"}}, "catId=3001"},
        {40, "", {{"age_min", "30"}}, "catId=4001"},
    };
    for (const auto& c : cases) {
        auto search = MakeFeedSearch(ssEBay, fTrees, {12}, {c.category}, c.keywords);
        search->SetPagesCount(1);
        test::SetOptions(*search, c.options);
        const auto links = FeedLinks(*search, ssEBay);
        ASSERT_FALSE(links.empty());
        EXPECT_EQ(links[0], oakland + c.expected + "&output=rss 0 0") << "category " << c.category;
    }
}

TEST_F(EBayLinksTest, BedroomWords) {
    const std::pair<const char*, const char*> cases[] = {{"1", "ONE"}, {"5", "FIVE"}, {"9", "NINE"},
                                                         {"0", ""},    {"10", ""},    {"0+", ""}};
    for (const auto& [count, word] : cases) EXPECT_EQ(EBayBedroomsWord(count), word) << count;
}

TEST_F(EBayLinksTest, PagesAndCityItems) {
    auto search = MakeFeedSearch(ssEBay, fTrees, {12, 13, 14}, {10, 11}, "");
    search->SetPagesCount(2);
    EXPECT_EQ(FeedLinks(*search, ssEBay),
              (std::vector<std::string>{
                  "http://oakland.ebayclassifieds.com/classified-ads/?catId=1001&output=rss 0 0",
                  "http://eastbay.ebayclassifieds.com/classified-ads/?catId=1001&output=rss 0 0",
                  "http://oakland.ebayclassifieds.com/classified-ads/?catId=1001&page=1&output=rss 0 0",
                  "http://eastbay.ebayclassifieds.com/classified-ads/?catId=1001&page=1&output=rss 0 0",
              }));
    EXPECT_EQ(FeedLinks(*search, ssEBay, false).size(), 2u) << "an unattended run asks for first pages only";
}

}  // namespace
}  // namespace trawlix
