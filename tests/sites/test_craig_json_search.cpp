#include "sites/craig_json_search.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "engine/clock.h"
#include "engine/http_client.h"
#include "sites/craig_results_parser.h"

namespace trawlix {
namespace {

// Two areas (one with a sub-area), descriptions and neighbourhoods, as the site's decode holds.
const std::string cDecode =
    R"({"minPostingId":7800000000,"minPostedDate":1765400000,)"
    R"("locations":[[1,"sfbay","eby"],[1,"sfbay",""],[4,"boston",""]],)"
    R"("locationDescriptions":["oakland","san francisco","boston"],"neighborhoods":["rockridge","mission"]})";

std::string Answer(const std::string& aItems, const std::string& aDecode = cDecode) {
    return R"({"data":{"decode":)" + aDecode + R"(,"items":[)" + aItems + R"(],"totalResultCount":1234}})";
}

TEST(CraigJsonSearch, ReadsEveryFieldOfAFullItem) {
    const auto answer = ReadCraigJsonSearch(Answer(
        R"([12,300,68,1200,"0:0:0~37.84~-122.25","tok",[13,"uuid-1"],)"
        R"([4,"3:00a0a_abcDEF_0CI0qt","3:00b0b_xyz_0CI0qt"],[6,"red-bike"],[10,"$1,200"],"Red bike"])"));
    ASSERT_EQ(answer.problem, "");
    ASSERT_EQ(answer.ads.size(), 1u);
    EXPECT_EQ(answer.totalResultCount, 1234);
    const TCraigJsonAd& ad = answer.ads[0];
    EXPECT_EQ(ad.postingId, 7800000012);
    EXPECT_EQ(ad.postedUnixTime, 1765400300);
    EXPECT_EQ(ad.price, 1200);
    EXPECT_EQ(ad.title, "Red bike");
    EXPECT_EQ(ad.host, "sfbay");
    EXPECT_EQ(ad.subArea, "eby");
    EXPECT_EQ(ad.place, "rockridge") << "the neighbourhood says more than the area";
    EXPECT_TRUE(ad.hasGeo);
    EXPECT_DOUBLE_EQ(ad.latitude, 37.84);
    EXPECT_DOUBLE_EQ(ad.longitude, -122.25);
    EXPECT_EQ(ad.pictureIds, (std::vector<std::string>{"3:00a0a_abcDEF_0CI0qt", "3:00b0b_xyz_0CI0qt"}));
    EXPECT_EQ(ad.slug, "red-bike");
    EXPECT_EQ(CraigAdAddress(ad, "bik", "craigslist.org"),
              "https://sfbay.craigslist.org/eby/bik/d/red-bike/7800000012.html");
    EXPECT_EQ(CraigPictureURL(ad.pictureIds[0], false), "https://images.craigslist.org/00a0a_abcDEF_0CI0qt_300x300.jpg");
    EXPECT_EQ(CraigPictureURL(ad.pictureIds[0], true), "https://images.craigslist.org/00a0a_abcDEF_0CI0qt_600x450.jpg");
}

TEST(CraigJsonSearch, PricesPlacesAndAreasWithoutSubArea) {
    struct TCase {
        std::string item;
        double price;
        std::string place;
        std::string address;
    } cases[] = {
        // -1 is no price; the price text stands in when the number is missing.
        {R"([1,0,68,-1,"1:1~37.7~-122.4",[6,"a"],"A"])", -1, "san francisco",
         "https://sfbay.craigslist.org/sss/d/a/7800000001.html"},
        {R"([2,0,68,"2:2~42.3~-71.1",[6,"b"],[10,"$1,250.50"],"B"])", 1250.5, "boston",
         "https://boston.craigslist.org/sss/d/b/7800000002.html"},
        {R"([3,0,68,0.5,"2:2",[6,"c"],"C"])", 0.5, "boston", "https://boston.craigslist.org/sss/d/c/7800000003.html"},
        // A neighbourhood index past the list falls back on the description.
        {R"([4,0,68,10,"1:1:9~37.7~-122.4",[6,"d"],"D"])", 10, "san francisco",
         "https://sfbay.craigslist.org/sss/d/d/7800000004.html"},
    };
    for (const auto& c : cases) {
        const auto answer = ReadCraigJsonSearch(Answer(c.item));
        ASSERT_EQ(answer.ads.size(), 1u) << c.item;
        EXPECT_EQ(answer.ads[0].price, c.price) << c.item;
        EXPECT_EQ(answer.ads[0].place, c.place) << c.item;
        EXPECT_EQ(CraigAdAddress(answer.ads[0], "sss", "craigslist.org"), c.address) << c.item;
    }
}

TEST(CraigJsonSearch, ItemsOfAnUnknownShapeAreLeftOutAndCounted) {
    const std::string good = R"([1,0,68,5,"1:1~37.7~-122.4",[6,"good"],"Good"])";
    const char* bad[] = {
        R"({"not":"an array"})",
        R"([1])",
        R"(["1",0,68,5,"1:1~37.7~-122.4",[6,"x"],"X"])",          // id offset of the wrong type
        R"([1,"0",68,5,"1:1~37.7~-122.4",[6,"x"],"X"])",          // date offset of the wrong type
        R"([1,0,68,5,"7:1~37.7~-122.4",[6,"x"],"X"])",            // area index past the list
        R"([1,0,68,5,"1:1~abc~-122.4",[6,"x"],"X"])",             // coordinates that are no numbers
        R"([1,0,68,5,"1:1~37.7~-122.4","X"])",                    // no slug: no address
        R"([1,0,68,5,"1:1~37.7~-122.4",[6,"../x"],"X"])",         // a slug that leaves its folder
        R"([1,0,68,5,"1:1~37.7~-122.4",[6,"x"],[4,"a/b"],"X"])",  // a picture id with a path
        R"([1,0,68,5,"1:1~37.7~-122.4",[6,"x"],"\u0001\u0002 "])",  // a title of control characters only
        R"([1,0,68,5,[6,"x"],"X"])",                              // no location
        R"([-5,0,68,5,"1:1~37.7~-122.4",[6,"x"],"X"])",
        R"(null)",
    };
    for (const char* item : bad) {
        const auto answer = ReadCraigJsonSearch(Answer(good + "," + item));
        EXPECT_EQ(answer.problem, "") << item;
        ASSERT_EQ(answer.ads.size(), 1u) << item;
        EXPECT_EQ(answer.ads[0].title, "Good");
        EXPECT_EQ(answer.itemsSkipped, 1) << item;
    }
}

TEST(CraigJsonSearch, ExtraFieldsAndTitlesWithControlCharacters) {
    const auto answer = ReadCraigJsonSearch(
        Answer(R"([1,0,68,5,"1:1~37.7~-122.4",[6,"x"],[99,"new",{"k":1}],{"extra":true},"  Red\tbike\n<b>x</b> "])"));
    ASSERT_EQ(answer.ads.size(), 1u);
    EXPECT_EQ(answer.ads[0].title, "Red bike <b>x</b>") << "a title is text: its markup is shown, never run";
}

TEST(CraigJsonSearch, AnswersThatAreProblems) {
    struct TCase {
        std::string json;
        std::string problemStart;
    } cases[] = {
        {R"({"data":{"decode":{"minPostingId":1)", "the search answer is not valid JSON"},
        {"<html><body>blocked</body></html>", "the search answer is not valid JSON"},
        {R"({"error":"rate limited"})", "the search answer has no data object"},
        {R"({"data":{"items":[]}})", "the search answer has no decode table"},
        {R"({"data":{"decode":{"minPostingId":"x","minPostedDate":1,"locations":[]},"items":[]}})",
         "the search answer is of an unknown shape: its decode table has no minPostingId number"},
        {R"({"data":{"decode":{"minPostingId":1,"minPostedDate":1},"items":[]}})",
         "the search answer is of an unknown shape: its decode table has no locations list"},
        {R"({"data":{"decode":0,"items":[[1,2,3]]}})", "the search answer has items but no decode table"},
        {Answer("", cDecode).replace(Answer("", cDecode).find("\"items\":[]"), 10, "\"items\":{}"),
         "the search answer has no item list"},
        {Answer(R"([1],[2],["x"])"), "none of the 3 items of the search answer is of a shape the program knows"},
    };
    for (const auto& c : cases) {
        const auto answer = ReadCraigJsonSearch(c.json);
        EXPECT_EQ(answer.problem.substr(0, c.problemStart.size()), c.problemStart) << c.json;
        EXPECT_TRUE(answer.ads.empty());
    }
}

TEST(CraigJsonSearch, NoResultsIsNoProblem) {
    const auto answer = ReadCraigJsonSearch(R"({"data":{"decode":0,"totalResultCount":0}})");
    EXPECT_EQ(answer.problem, "");
    EXPECT_TRUE(answer.ads.empty());
    EXPECT_EQ(answer.itemsSkipped, 0);
}

TEST(CraigJsonSearch, AFullBatchOf360Items) {
    std::string items;
    for (int i = 0; i < 360; ++i) {
        if (i) items += ",";
        items += "[" + std::to_string(i) + ",0,68," + std::to_string(i) + R"(,"1:1~37.7~-122.4",[6,"ad"],"Ad"])";
    }
    const auto answer = ReadCraigJsonSearch(Answer(items));
    ASSERT_EQ(answer.ads.size(), 360u);
    EXPECT_EQ(answer.ads.back().postingId, 7800000359);
}

// An answer as large as a page may be: every ad reported whole, none left out, no problem.
TEST(CraigJsonSearch, AnAnswerAsLargeAsAPageMayBeIsReadWhole) {
    const std::size_t limit = GetTransferLimits().pageBytes;
    std::string pictures;
    for (int i = 0; i < 24; ++i) pictures += R"(,"3:00a0a_)" + std::to_string(100000 + i) + R"(_0CI0qt")";
    const std::string title(90, 'x');
    std::string items;
    int count = 0;
    for (;; ++count) {
        std::string item = "[" + std::to_string(count) + ",60,68," + std::to_string(count % 5000) +
                           R"(,"1:1~37.7~-122.4",[4)" + pictures + R"(],[6,"ad-)" + std::to_string(count) +
                           R"("],[10,"$1"],")" + title + R"("])";
        if (Answer("").size() + items.size() + item.size() + 1 > limit) break;
        items += (count ? "," : "") + item;
    }
    const std::string json = Answer(items);
    ASSERT_LE(json.size(), limit);
    ASSERT_GT(json.size(), limit - 1024) << "the answer fills the page limit";

    TCraigSiteResultsParser parser;
    parser.SetHTML(json);
    int reported = 0;
    TParsedResult last;
    parser.SetOnResultParsed([&](const TParsedResult& aResult) {
        ++reported;
        last = aResult;
    });
    EXPECT_EQ(parser.Parse(), count);
    EXPECT_EQ(reported, count);
    EXPECT_EQ(parser.GetContext().itemsSkipped, 0);
    EXPECT_EQ(last.name, title);
    EXPECT_EQ(last.pictures.size(), 24u);
    EXPECT_EQ(last.link, "https://sfbay.craigslist.org/sss/d/ad-" + std::to_string(count - 1) + "/" +
                             std::to_string(7800000000 + count - 1) + ".html");
}

TEST(CraigJsonSearch, PostedTimeAsTheResultsKeepIt) {
    TParsedResult result;
    SetPostedTime(result, 1765400300);
    EXPECT_EQ(result.date.size() >= 5, true);
    EXPECT_GT(result.localDateTime, 46000);  // December 2025, in days since 1899
    EXPECT_LT(result.localDateTime, 46005);
}

TEST(CraigJsonSearch, JsonIsToldFromPages) {
    EXPECT_TRUE(LooksLikeJson("  \n{\"data\":1}"));
    EXPECT_FALSE(LooksLikeJson("<html>{"));
    EXPECT_FALSE(LooksLikeJson(""));
}

}  // namespace
}  // namespace trawlix

namespace trawlix {
namespace {

// Posted times read through the kept quarter hour agree with the C library at every second
// around midnight, the quarter hours and a change of summer time.
TEST(CraigJsonSearch, PostedTimesAgreeWithTheLocalClockEverywhere) {
    for (const std::int64_t start : {1765400000LL, 1765407600LL - 5, 1774746000LL - 3600, 1761440400LL - 3600}) {
        for (std::int64_t t = start; t < start + 7300; t += 7) {
            TParsedResult result;
            SetPostedTime(result, t);
            const std::time_t time = static_cast<std::time_t>(t);
            std::tm local{};
            localtime_r(&time, &local);
            const double expected = EncodeDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                               static_cast<unsigned>(local.tm_mday)) +
                                    (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
            ASSERT_DOUBLE_EQ(result.localDateTime, expected) << t;
        }
    }
}

}  // namespace
}  // namespace trawlix
