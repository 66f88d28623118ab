#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/results_parser.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

std::string Page(const std::string& aName) { return test::ReadFile(test::TestsDir() / "engine/fixtures/pages" / aName); }

std::vector<TParsedResult> ParseFeed(const std::string& aFeed, int* aCount = nullptr) {
    TBaseResultsParser parser;
    std::vector<TParsedResult> results;
    parser.SetOnResultParsed([&](const TParsedResult& aResult) { results.push_back(aResult); });
    parser.SetHTML(aFeed);
    int count = parser.Parse();
    if (aCount) *aCount = count;
    EXPECT_FALSE(parser.GetSearchLinkPagesOverflow());
    return results;
}

TEST(RssParserTest, ReadsEveryDatedItemOfAFeed) {
    int count = 0;
    auto results = ParseFeed(Page("rss_feed.xml"), &count);
    ASSERT_EQ(count, 3);  // the undated item is dropped
    ASSERT_EQ(results.size(), 3u);

    EXPECT_EQ(results[0].date, "Dec 12");
    EXPECT_EQ(results[0].name, "Bike - $1,200");  // CDATA removed
    EXPECT_DOUBLE_EQ(results[0].price, 1200);      // thousands comma removed before the price is read
    EXPECT_EQ(results[0].link, "http://www.oodle.com/view/bike/1234/");
    EXPECT_EQ(results[0].description, "A <b>fine</b> bike");
    EXPECT_TRUE(results[0].hasImage);
    EXPECT_EQ(results[0].localDateTime, 0);
    EXPECT_EQ(results[0].contact, "");
    EXPECT_EQ(results[0].imageUrl, "");

    EXPECT_EQ(results[1].description, "Comfy &amp; clean");  // entities stay as sent
    EXPECT_DOUBLE_EQ(results[1].price, -1);
    EXPECT_EQ(results[2].date, "Dec 3");
    EXPECT_DOUBLE_EQ(results[2].price, 12.5);
}

TEST(RssParserTest, EmptyOrItemlessPagesGiveNothing) {
    for (const char* page : {"", "<rss><channel><title>x</title></channel></rss>", "<item><title>unterminated"}) {
        int count = -1;
        EXPECT_TRUE(ParseFeed(page, &count).empty()) << page;
        EXPECT_EQ(count, 0) << page;
    }
}

TEST(RssParserTest, MissingFieldsAreEmptyAndCaseDoesNotMatter) {
    auto results = ParseFeed("<ITEM><PubDate>Tue, 1 Nov 2011</PubDate></ITEM>");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].date, "Nov 1");
    EXPECT_EQ(results[0].name, "");
    EXPECT_EQ(results[0].link, "");
}

TEST(RssParserTest, AnItemRunsFromItsOpeningTagToTheFirstClosingOne) {
    const std::string dated = "<pubDate>Mon, 12 Dec 2011 </pubDate>";
    struct TCase {
        std::string feed;
        std::vector<std::string> names;
    };
    const TCase cases[] = {
        {"<item> \v\f\r\n<title>A</title>" + dated + "\t\n</item><item><title>B</title>" + dated + "</item>",
         {"A", "B"}},
        {"<Item><title>A</title>" + dated + "</iTEM>", {"A"}},
        // A second opening tag before the closing one belongs to the first item's text.
        {"<item><item><title>A</title>" + dated + "</item><title>B</title>" + dated + "</item>", {"A"}},
        {"<item> \n </item><item><title>A</title>" + dated, {}},
        {"</item><item><title>A</title>" + dated + "</item ><item>", {}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        for (const auto& result : ParseFeed(c.feed)) names.push_back(result.name);
        EXPECT_EQ(names, c.names) << c.feed;
    }
}

TEST(RssParserTest, AHostileItemGivesNothingAndTheItemsAfterItStillCount) {
    std::string feed = "<item><title>ok $5</title><pubDate>Mon, 12 Dec 2011 </pubDate></item>";
    // An item on which a title pattern retrying at every opening tag needed quadratic work
    // (and gave up after its time limit, ending the parse); the scan reads it in one pass.
    feed += "<item>";
    for (int i = 0; i < 20000; ++i) feed += "<title></titl";
    feed += "</item><item><title>next $7</title><pubDate>Tue, 13 Dec 2011 </pubDate></item>";
    int count = -1;
    auto results = ParseFeed(feed, &count);
    EXPECT_EQ(count, 2);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_DOUBLE_EQ(results[0].price, 5);
    EXPECT_EQ(results[1].date, "Dec 13");
    EXPECT_DOUBLE_EQ(results[1].price, 7);
}

}  // namespace
}  // namespace trawlix
