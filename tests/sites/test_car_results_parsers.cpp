#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/text_functions.h"
#include "sites/autotrader_results_parser.h"
#include "sites/car_results_parser.h"
#include "sites/cars_com_results_parser.h"
#include "support/test_support.h"

namespace trawlix {
namespace {

// Every ad a parser reports for a page, and the count it returns.
std::vector<TParsedResult> ParseAll(TBaseResultsParser& aParser, const std::string& aHtml, int& aCount) {
    std::vector<TParsedResult> results;
    aParser.SetOnResultParsed([&](const TParsedResult& aResult) { results.push_back(aResult); });
    aParser.SetHTML(aHtml);
    aCount = aParser.Parse();
    EXPECT_FALSE(aParser.GetSearchLinkPagesOverflow()) << "the car sites never say a page is past the last";
    return results;
}

struct TExpectedAd {
    std::string name;
    std::string link;
    double price;
    bool hasImage;
    std::string description;
    std::string contact;
};

void ExpectAds(const std::vector<TParsedResult>& aResults, const std::vector<TExpectedAd>& aExpected) {
    ASSERT_EQ(aResults.size(), aExpected.size());
    for (size_t i = 0; i < aExpected.size(); ++i) {
        SCOPED_TRACE("ad " + std::to_string(i + 1));
        const TParsedResult& got = aResults[i];
        EXPECT_EQ(got.name, aExpected[i].name);
        EXPECT_EQ(got.link, aExpected[i].link);
        EXPECT_DOUBLE_EQ(got.price, aExpected[i].price);
        EXPECT_EQ(got.hasImage, aExpected[i].hasImage);
        EXPECT_EQ(got.description, aExpected[i].description);
        EXPECT_EQ(got.contact, aExpected[i].contact);
        EXPECT_EQ(got.date, "") << "car ads carry no date";
        EXPECT_EQ(got.localDateTime, 0);
        EXPECT_EQ(got.imageUrl, "");
    }
}

TEST(CarsComParserTest, AdsOfAResultsPage) {
    TCarsComSiteResultsParser parser;
    int count = 0;
    const auto ads = ParseAll(parser, test::SitePageFixture("cars_com_results.html"), count);
    EXPECT_EQ(count, 3) << "the ad without a link is not counted";
    ExpectAds(ads, {
                       {"2007 Honda Civic EX - $12,995", "http://www.cars.com/go/search/detail.jsp?listingId=101&tracktype=usedcc",
                        12995, true, "Clean title, one owner & garaged", "(555) 123-4567"},
                       {"1999 Ford F-150 <Lariat>", "http://dealer.example.com/cars/202", -1, true, "", ""},
                       {"2005 Toyota Camry - Call for price", "http://www.cars.com/detail/303", -1, true, "Runs well", ""},
                   });
}

TEST(CarsComParserTest, LinksGoOnTheConfiguredHost) {
    TCarsComSiteResultsParser parser("cars.test:8080");
    int count = 0;
    const auto ads = ParseAll(parser, test::SitePageFixture("cars_com_results.html"), count);
    ASSERT_EQ(ads.size(), 3u);
    EXPECT_EQ(ads[0].link, "http://cars.test:8080/go/search/detail.jsp?listingId=101&tracktype=usedcc");
}

TEST(AutotraderParserTest, AdsOfAResultsPageUpToItsLastBlock) {
    TAutotraderSiteResultsParser parser;
    int count = 0;
    const auto ads = ParseAll(parser, test::SitePageFixture("autotrader_results.html"), count);
    EXPECT_EQ(count, 4) << "the dealer block has no car link";
    ExpectAds(ads, {
                       {"2007 Honda Civic & more - $12,995",
                        "http://www.autotrader.com/cars-for-sale/vehicledetails.xhtml?car_id=111", 12995, true,
                        "Clean title, one owner", "(555) 111-2222"},
                       {"1999 Ford F-150", "http://www.autotrader.com/cars-for-sale/vehicledetails.xhtml?car_id=222", -1,
                        false, "Work truck", ""},
                       {"2010 Mazda 3 - $9,000", "http://www.autotrader.com/cars-for-sale/vehicledetails.xhtml?car_id=444",
                        9000, true, "", ""},
                       {"2012 VW Golf - $15,500", "http://www.autotrader.com/cars-for-sale/vehicledetails.xhtml?car_id=555",
                        15500, true, "", "(555) 555-5555"},
                   });
}

// A page of aAds result blocks, each a complete ad, optionally closed by a sponsored block.
std::string AutotraderPage(int aAds, bool aSponsored) {
    std::string page = "<html><body>\n";
    for (int i = 1; i <= aAds; ++i)
        page += "<div class=\"search-result listing\">\n<p class=\"listing-title\"><a href=\"/v?car_id=" +
                std::to_string(i) + "\">car " + std::to_string(i) + "</a></p>\n<h3 class=\"listing-price\">$1,00" +
                std::to_string(i) + " </h3>\n</div>\n";
    if (aSponsored) page += "<div class=\"search-result sponsored\"><p>Sponsored</p></div>\n";
    return page + "</body></html>\n";
}

TEST(AutotraderParserTest, EveryResultBlockCountsWithOrWithoutABlockAfterIt) {
    struct TCase {
        int ads;
        bool sponsored;
    } cases[] = {{5, false}, {5, true}, {1, false}, {1, true}};
    for (const auto& c : cases) {
        TAutotraderSiteResultsParser parser;
        int count = 0;
        const auto ads = ParseAll(parser, AutotraderPage(c.ads, c.sponsored), count);
        EXPECT_EQ(count, c.ads) << c.ads << " blocks, sponsored " << c.sponsored;
        ASSERT_EQ(ads.size(), static_cast<size_t>(c.ads));
        EXPECT_EQ(ads.back().name, "car " + std::to_string(c.ads) + " - $1,00" + std::to_string(c.ads));
        EXPECT_DOUBLE_EQ(ads.back().price, 1000 + c.ads);
    }
}

TEST(CarParsersTest, PricesWithCentsAndPricesAloneInTheirHeading) {
    TCarsComSiteResultsParser carsCom;
    int count = 0;
    auto ads = ParseAll(carsCom,
                        "<td class=\"vehicleInfoColumn\"><div class=\"YmmHeader\"><a href=\"/d/1\">2011 Audi A4</a>"
                        "</div><span class=\"priceSort\">$12,995.50</span></td>",
                        count);
    ASSERT_EQ(ads.size(), 1u);
    EXPECT_DOUBLE_EQ(ads[0].price, 12995.5);

    TAutotraderSiteResultsParser autotrader;
    ads = ParseAll(autotrader,
                   "<div class=\"search-result listing\"><p class=\"listing-title\"><a href=\"/v?car_id=7\">2009 Audi"
                   "</a></p><h3 class=\"listing-price\">$8,792</h3></div>",
                   count);
    ASSERT_EQ(ads.size(), 1u);
    EXPECT_DOUBLE_EQ(ads[0].price, 8792);
    EXPECT_EQ(ads[0].name, "2009 Audi - $8,792");
}

TEST(CarParsersTest, EmptyOrForeignPagesReportNothing) {
    const std::string pages[] = {
        "",
        "<html><body>No vehicles match your search.</body></html>",
        // Cut off inside the first ad: the cell never closes.
        "<table><tr><td class=\"vehicleInfoColumn\"><div class=\"YmmHeader\"><a href=\"/d/1\">car</a></div>",
        // An ad block cut off before its link.
        "<div class=\"search-result listing\"><p class=\"listing-title\"><a href=\"/v?car_",
        // A proxy's refusal page.
        "<html><body>The proxy server refused the connection.</body></html>",
    };
    for (const std::string& page : pages) {
        TCarsComSiteResultsParser carsCom;
        TAutotraderSiteResultsParser autotrader;
        for (TBaseResultsParser* parser : std::initializer_list<TBaseResultsParser*>{&carsCom, &autotrader}) {
            int count = -1;
            EXPECT_TRUE(ParseAll(*parser, page, count).empty()) << page;
            EXPECT_EQ(count, 0) << page;
        }
    }
}

TEST(CarParsersTest, PricesAndLinks) {
    struct TPriceCase {
        std::string text;
        double price;
    } prices[] = {{"$12,995", 12995}, {"12.995", 12995}, {"$1,250,000", 1250000}, {"", -1}, {"Call", -1}};
    for (const auto& c : prices) EXPECT_DOUBLE_EQ(ReadPrice(c.text), c.price) << c.text;

    struct TLinkCase {
        std::string href;
        std::string link;
    } links[] = {{"/d/1", "http://cars.test/d/1"},
                 {"http://other.test/d/2", "http://other.test/d/2"},
                 {"HTTPS://other.test/d/3", "HTTPS://other.test/d/3"}};
    for (const auto& c : links) EXPECT_EQ(CarAdLink("cars.test", c.href), c.link) << c.href;
}

}  // namespace
}  // namespace trawlix
