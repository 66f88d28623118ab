#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/regex.h"
#include "engine/text_functions.h"
#include "sites/craig_results_parser.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

struct ParseOutcome {
    int count = -1;
    bool overflow = false;
    std::vector<TParsedResult> results;
};

ParseOutcome ParseCraigslist(const std::string& aPage, bool aCategoryListing) {
    TCraigSiteResultsParser parser;
    ParseOutcome outcome;
    parser.SetOnlyCatListings(aCategoryListing);
    parser.SetOnResultParsed([&](const TParsedResult& aResult) { outcome.results.push_back(aResult); });
    parser.SetHTML(aPage);
    outcome.count = parser.Parse();
    outcome.overflow = parser.GetSearchLinkPagesOverflow();
    return outcome;
}

TEST(CraigsPriceTest, PriceRuleOnTitles) {
    const std::pair<const char*, double> cases[] = {
        {"Couch - $150 (Oakland) pic", 150},
        {"$1,200 bike", 1200},
        {"$1,200.50 bike", 1200.5},
        {"Loft $1,250,000", 1250000},
        {"$ 150 couch", 150},
        {"Bike $20 or $15 (SF)", 15},  // the last "$" counts
        {"Ends with $", -1},
        {"EUR300 city bike", 300},
        {"EUR 300 city bike", 300},
        {"Kids bike EUR 45", 45},
        {"A?99 sofa", 99},
        {"Plain title 2011", -1},
        {"", -1},
    };
    for (const auto& [title, price] : cases)
        EXPECT_DOUBLE_EQ(ReadPrice(CraigsPriceText(title)), price) << title;
}

TEST(CraigslistQueryPageTest, ReportsEveryAdWithDatePriceAndPicture) {
    auto outcome = ParseCraigslist(test::SitePageFixture("craigslist_query.html"), false);
    ASSERT_EQ(outcome.count, 5);
    ASSERT_EQ(outcome.results.size(), 5u);
    EXPECT_FALSE(outcome.overflow);

    const auto& couch = outcome.results[0];
    EXPECT_EQ(couch.date, "Dec 12");
    EXPECT_EQ(couch.name, "Couch - $150  (Oakland)  pic");
    EXPECT_EQ(couch.link, "/eby/fur/2741234567.html");
    EXPECT_DOUBLE_EQ(couch.price, 150);
    EXPECT_TRUE(couch.hasImage);
    EXPECT_EQ(couch.imageUrl, "http://images.craigslist.org/3n13o83m05Y85X25W0bbq5a7e1d0a.jpg");

    EXPECT_DOUBLE_EQ(outcome.results[1].price, 1200);
    EXPECT_FALSE(outcome.results[1].hasImage);
    EXPECT_EQ(outcome.results[1].imageUrl, "");

    const auto& tandem = outcome.results[2];
    EXPECT_EQ(tandem.date, "Dec 11");
    EXPECT_EQ(tandem.name, "Tom & Jerry tandem  (SOMA)  img");
    EXPECT_EQ(tandem.link, "/sfc/bik/2741234569.html?lang=en&cc=us");
    EXPECT_TRUE(tandem.hasImage);

    EXPECT_EQ(outcome.results[3].date, "Dec 9");
    EXPECT_DOUBLE_EQ(outcome.results[3].price, 300);
    EXPECT_DOUBLE_EQ(outcome.results[4].price, 45);
}

TEST(CraigslistQueryPageTest, ARawLessThanSignKeepsTheTitleAndItsPrice) {
    const std::string page =
        "Displaying: 1 - 1\n<p class=\"row\"> Dec 12 - <a href=\"/sfc/bik/27.html\">bike <3 kids - $1,200</a>"
        " <font size=\"-1\"> (SF)</font><br></p>\nFew LOCAL results found.";
    auto outcome = ParseCraigslist(page, false);
    ASSERT_EQ(outcome.results.size(), 1u);
    EXPECT_EQ(outcome.results[0].name, "bike <3 kids - $1,200  (SF)");
    EXPECT_DOUBLE_EQ(outcome.results[0].price, 1200);
}

TEST(CraigslistQueryPageTest, APageBeyondTheLastSetsOverflowAndReportsNothing) {
    auto outcome = ParseCraigslist(test::SitePageFixture("craigslist_query_overflow.html"), false);
    EXPECT_EQ(outcome.count, 0);
    EXPECT_TRUE(outcome.results.empty());
    EXPECT_TRUE(outcome.overflow);
}

TEST(CraigslistQueryPageTest, NothingFoundReportsNothingWithoutOverflow) {
    auto outcome = ParseCraigslist(test::SitePageFixture("craigslist_query_nothing.html"), false);
    EXPECT_EQ(outcome.count, 0);
    EXPECT_TRUE(outcome.results.empty());
    EXPECT_FALSE(outcome.overflow);
}

TEST(CraigslistQueryPageTest, TheListingEndsAtTheFirstMarker) {
    std::string page =
        "<p class=\"row\"> Dec 1 - <a href=\"/a/1.html\">Before - $5</a></p>"
        "<h4>Few LOCAL results found. Nearby:</h4>"
        "<p class=\"row\"> Dec 2 - <a href=\"/a/2.html\">Nearby - $6</a></p>";
    auto outcome = ParseCraigslist(page, false);
    ASSERT_EQ(outcome.count, 1);
    EXPECT_EQ(outcome.results[0].link, "/a/1.html");
    // Without any end marker the page is not a listing.
    EXPECT_EQ(ParseCraigslist("<p class=\"row\"> Dec 1 - <a href=\"/a/1.html\">x</a></p>", false).count, 0);
}

// The listing of a query page ends at the first of its end markers, as the pattern the
// parser used before searching for them by hand found it: markers in any case, with the
// long s for "s", a marker cut short or followed by a byte that is no character.
TEST(CraigslistQueryPageTest, TheListingEndsWhereTheFormerPatternEndedIt) {
    TCRegEx displaying(R"re(Displaying\s*:\s*(\d+)\s*-\s*(\d+))re");
    TCRegEx listingEnd(R"re(Few LOCAL results found.|Displaying\s*:\s*\d+\s*-\s*\d+|<div>Sort by:<strong>)re");
    TCRegEx ad(R"re(<p.*?>\s*(?:[^/]*?</span>)?\s+(.*?)\s+(\d+).*?<a\s+href\s*=\s*"(.*?)">\s*(.*?)\s*</p>)re");
    auto expectedLinks = [&](const std::string& aPage) {
        std::vector<std::string> links;
        displaying.SetSubject(aPage);
        listingEnd.SetSubject(displaying.Match() ? aPage.substr(displaying.MatchedExpressionOffset() - 1 +
                                                                 displaying.MatchedExpressionLength())
                                                 : aPage);
        if (!listingEnd.Match() || listingEnd.MatchedExpressionOffset() == 1) return links;
        ad.SetSubject(listingEnd.GetSubject().substr(0, listingEnd.MatchedExpressionOffset() - 1));
        for (bool found = ad.Match(); found; found = ad.MatchAgain()) links.push_back(UnEscapeHTML(ad.SubExpressions(3)));
        return links;
    };
    const char* markers[] = {"Displaying: 1 - 100", "Displaying:", "di\xC5\xBFplaying :\n7 -\t9", "DISPLAYING: 1 -",
                             "Few LOCAL results found.", "few local re\xC5\xBFults found", "Few LOCAL results found\xFF",
                             "Few LOCAL results found", "<div>Sort by:<strong>", "<DIV>\xC5\xBFort BY:<STRONG>",
                             "<div>Sort by:", ":", " ", "\xFF", "\xC3\xA9", "<p>", "</p>"};
    std::mt19937 random(5);
    for (int pageNumber = 0; pageNumber < 3000; ++pageNumber) {
        std::string page = random() % 2 ? "<h4>Displaying: 1 - 100</h4>\n" : "";
        for (int adNumber = 0; adNumber < 4; ++adNumber) {
            page += "<p class=\"row\"> Dec 12 - <a href=\"/a/" + std::to_string(adNumber) + ".html\">Bike</a></p>\n";
            if (random() % 3 == 0) page += markers[random() % std::size(markers)];
        }
        page += markers[random() % std::size(markers)];
        auto outcome = ParseCraigslist(page, false);
        std::vector<std::string> links;
        for (const auto& result : outcome.results) links.push_back(result.link);
        ASSERT_EQ(links, expectedLinks(page)) << page;
        ASSERT_EQ(outcome.count, static_cast<int>(links.size()));
    }
}

TEST(CraigslistCategoryPageTest, ReportsTheAdsOfEveryDayWithTheirOwnDate) {
    auto outcome = ParseCraigslist(test::SitePageFixture("craigslist_category.html"), true);
    ASSERT_EQ(outcome.count, 5);
    ASSERT_EQ(outcome.results.size(), 5u);
    const char* dates[] = {"Dec 12", "Dec 12", "Dec 11", "Dec 10", "Dec 10"};
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(outcome.results[i].date, dates[i]) << i;

    EXPECT_EQ(outcome.results[0].name, "Road bike - $300  (Berkeley)  pic");
    EXPECT_TRUE(outcome.results[0].hasImage);
    EXPECT_DOUBLE_EQ(outcome.results[0].price, 300);
    EXPECT_EQ(outcome.results[1].name, "Fixie & lock - $180  (SOMA)");
    EXPECT_EQ(outcome.results[1].imageUrl, "http://images.craigslist.org/5Z25W05Y83m3k13o.jpg");
    EXPECT_DOUBLE_EQ(outcome.results[2].price, -1);
    EXPECT_DOUBLE_EQ(outcome.results[3].price, 1200);
    EXPECT_EQ(outcome.results[4].link, "/nby/bik/2741000005.html");
    EXPECT_FALSE(outcome.overflow);
}

TEST(CraigslistCategoryPageTest, TheParserChoosesByTheSearchSetting) {
    // A category page read as a query page has no end marker to close its listing.
    EXPECT_EQ(ParseCraigslist(test::SitePageFixture("craigslist_category.html"), false).count, 0);
}

TEST(CraigslistParserTest, ImageBaseUrlIsASetting) {
    TCraigSiteResultsParser parser;
    parser.SetImageBaseURL("http://img.test/");
    EXPECT_EQ(parser.ExtractImageUrl("<span id=\"images:a&amp;b.jpg\">"), "http://img.test/a&b.jpg");
    EXPECT_EQ(parser.ExtractImageUrl("<span>no picture</span>"), "");
}

TEST(CraigslistParserTest, HostileAndEmptyPagesGiveNoAds) {
    std::string nested;
    for (int i = 0; i < 20000; ++i) nested += "<p>x";
    std::string headings;
    for (int i = 0; i < 20000; ++i) headings += "<h4> a b 1</h4><p>";
    const std::string pages[] = {"", "Displaying: 1 - 5 " + nested + " Displaying: 1 - 5", headings,
                                 std::string("\xff\xfe\x00<p", 5)};
    for (const auto& page : pages) {
        for (bool categoryListing : {false, true}) {
            auto outcome = ParseCraigslist(page, categoryListing);
            EXPECT_EQ(outcome.count, 0);
            EXPECT_TRUE(outcome.results.empty());
        }
    }
}

}  // namespace
}  // namespace trawlix
