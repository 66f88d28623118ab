#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "engine/text_functions.h"

namespace trawlix {
namespace {

TEST(TextFunctionsTest, ReadFromLeftAndRight) {
    struct Case {
        bool fromRight;
        const char* text;
        int word;
        const char* separator;
        int startFrom;
        const char* expected;
    };
    const Case cases[] = {
        {false, "$1,200 bike", 1, " ", 2, "1,200"},
        {false, "red  blue green", 2, " ", 1, "blue"},
        {false, " red blue", 1, " ", 1, ""},  // a leading separator ends an empty first word
        {false, " red blue", 2, " ", 1, "red"},
        {false, "red blue", 3, " ", 1, ""},
        {false, "red", 1, " ", 9, ""},
        {true, "http://sfbay.craigslist.org/eby/", 2, "/", 0, "eby"},
        {true, "http://sfbay.craigslist.org/eby/", 3, "/", 0, "sfbay.craigslist.org"},
        {true, "http://sfbay.craigslist.org/", 2, "/", 0, "sfbay.craigslist.org"},
        {true, "http://sfbay.craigslist.org/", 1, "/", 0, ""},
        {true, "Couch - $150 (Oakland) $", 1, "$", 0, ""},
        {true, "Couch - $150 (Oakland)", 1, "$", 0, "150 (Oakland)"},
        {true, "a b c", 1, " ", 3, "b"},
        {true, "a b", 5, " ", 0, ""},
    };
    for (const auto& c : cases) {
        std::string got = c.fromRight ? ReadFromRight(c.text, c.word, c.separator, c.startFrom)
                                      : ReadFromLeft(c.text, c.word, c.separator, c.startFrom);
        EXPECT_EQ(got, c.expected) << (c.fromRight ? "right " : "left ") << c.text << " word " << c.word;
    }
}

TEST(TextFunctionsTest, ExtractDataTags) {
    EXPECT_EQ(ExtractDataTags(">Couch - $150</a> <font> (Oakland)</font><"), "Couch - $150  (Oakland)");
    EXPECT_EQ(ExtractDataTags("<b>\ta\nb\t</b>"), "ab");
    EXPECT_EQ(ExtractDataTags("no tags at all"), "");
    EXPECT_EQ(ExtractDataTags("x>"), "");  // a ">" at the end starts no text
    EXPECT_EQ(ExtractDataTags(">  spaced  <"), "spaced");
    // A "<" that opens no tag is text: the title and its price stay whole.
    EXPECT_EQ(ExtractDataTags(">bike <3 kids - $1,200</a> <font>(SF)</font><"), "bike <3 kids - $1,200 (SF)");
    EXPECT_EQ(ExtractDataTags(">size < 5 $20<"), "size < 5 $20");
}

TEST(TextFunctionsTest, PricesAsUSSitesWriteThem) {
    const std::pair<const char*, double> cases[] = {
        {"$1,200", 1200},         {"$1,200.50", 1200.5}, {"$12,995.50", 12995.5},   {"8,792", 8792},
        {"$1,250,000", 1250000},  {"$11,950.50", 11950.5}, {"$12.50", 12.5},        {"$ 150", 150},
        {"12.5", 12.5},           {"12.995", 12995},     {"1,5", 1},                {"150/mo", 150},
        {"$1,200 or best", 1200}, {"", -1},              {"Call for price", -1},    {"$", -1},
    };
    for (const auto& [text, price] : cases) EXPECT_DOUBLE_EQ(ReadPrice(text), price) << text;
}

TEST(TextFunctionsTest, NumbersFromText) {
    const std::pair<const char*, double> cases[] = {
        {"1500", 1500}, {"$ 12.50", 12.5}, {"1,500", 1.5}, {"no digits", -1}, {"", -1},
        {"1.2.3", -1},  {"-7", 7},         {"12,", 12},
    };
    for (const auto& [text, expected] : cases) EXPECT_DOUBLE_EQ(ExtractDouble(text), expected) << text;

    EXPECT_DOUBLE_EQ(StrToFloatSafe("3,25"), 3.25);
    EXPECT_DOUBLE_EQ(StrToFloatSafe(" -0.5 "), -0.5);
    EXPECT_DOUBLE_EQ(StrToFloatSafe("+2e3"), 2000);
    for (const char* bad : {"", "abc", "1x", "inf", "nan", "0x10", "+-1", "1 2"})
        EXPECT_THROW(StrToFloatSafe(bad), std::invalid_argument) << bad;
    EXPECT_DOUBLE_EQ(StrToFloatDefSafe("oops", 7), 7);
    EXPECT_EQ(GetNumber("a1b2c3"), "123");
    EXPECT_EQ(GetNumber("none"), "");
}

TEST(TextFunctionsTest, EntitiesAndEscapes) {
    EXPECT_EQ(UnEscapeHTML("&amp;lt;"), "&lt;");  // "&amp;" runs last and is not decoded twice
    EXPECT_EQ(UnEscapeHTML("a&NBSP;b &GT; c &Lt; d &amp; e"), "a b > c < d & e");
    EXPECT_EQ(UnEscapeHTML("x#0y"), "xy");
    EXPECT_EQ(UnEscapeHTML("&quot;Mint&QUOT; bike &#39;09 &#x27;10 &#X27;11 &#039; &#233;t&#xE9;"),
              "\"Mint\" bike '09 '10 '11 ' \u00e9t\u00e9");
    EXPECT_EQ(UnEscapeHTML("&amp;quot; &#38;amp;"), "&quot; &amp;") << "each entity is decoded once";
    // What names no character is left as written.
    EXPECT_EQ(UnEscapeHTML("&#1114112; &#xD800; &#99999999; &#; &#x; &bogus; & AT&T;"),
              "&#1114112; &#xD800; &#99999999; &#; &#x; &bogus; & AT&T;");
    EXPECT_EQ(UnEscapeXML("&#38;&#60;&#62;&#34;&#39;&#X9;"), "&<>\"'\t");
    EXPECT_EQ(EscapeHTML("a<b>&c\"'"), "a&lt;b&gt;&amp;c\"'");
    EXPECT_EQ(UnEscapeHTML(EscapeHTML("Tom & <Jerry>")), "Tom & <Jerry>");
}

TEST(TextFunctionsTest, JsonStringEscapesQuotesBackslashesAndControlsAndKeepsUtf8) {
    EXPECT_EQ(JsonString(""), "\"\"");
    EXPECT_EQ(JsonString("say \"hi\" \\ bye"), "\"say \\\"hi\\\" \\\\ bye\"");
    EXPECT_EQ(JsonString("a\nb\rc\td"), "\"a\\nb\\rc\\td\"");
    EXPECT_EQ(JsonString(std::string("\x01\x1f\0", 3)), "\"\\u0001\\u001f\\u0000\"");
    EXPECT_EQ(JsonString("café €"), "\"café €\"");
}

// Bytes that are not UTF-8 (a Windows-1252 search name, a cut character) never make a
// JSON document invalid; cuts fall between characters.
TEST(TextFunctionsTest, JsonStringReplacesInvalidUtf8AndPrefixesCutBetweenCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    const struct {
        std::string in, out;
    } cases[] = {
        {"caf\xE9", "\"caf" + fffd + "\""},                  // Windows-1252 e acute
        {"\xE2\x82", "\"" + fffd + fffd + "\""},             // a cut euro sign
        {"\xC0\xAF", "\"" + fffd + fffd + "\""},             // overlong "/"
        {"\xED\xA0\x80", "\"" + fffd + fffd + fffd + "\""},  // a surrogate
        {"\xF4\x90\x80\x80", "\"" + fffd + fffd + fffd + fffd + "\""},  // past U+10FFFF
        {"\xF0\x9F\x9A\xB2 ok", "\"\xF0\x9F\x9A\xB2 ok\""},  // a bicycle emoji stays
    };
    for (const auto& c : cases) EXPECT_EQ(JsonString(c.in), c.out) << c.in;
    EXPECT_EQ(Utf8Prefix("ab\xE2\x82\xAC", 4), "ab");
    EXPECT_EQ(Utf8Prefix("ab\xE2\x82\xAC", 5), "ab\xE2\x82\xAC");
    EXPECT_EQ(Utf8Prefix("abc", 2), "ab");
}

TEST(TextFunctionsTest, URLEncodeKeepsUnreservedAndEncodesUtf8Bytes) {
    EXPECT_EQ(URLEncode("AZaz09-._"), "AZaz09-._");
    EXPECT_EQ(URLEncode("red bike"), "red%20bike");
    EXPECT_EQ(URLEncode("\"a|b\"~"), "%22a%7Cb%22%7E");
    EXPECT_EQ(URLEncode("café €"), "caf%C3%A9%20%E2%82%AC");
    EXPECT_EQ(URLEncode(std::string("\n\0", 2)), "%0A%00");
}

TEST(TextFunctionsTest, RemoveURLParam) {
    const char* base = "http://sfbay.craigslist.org/search/sss?query=bike";
    EXPECT_EQ(RemoveURLParam(std::string(base) + "&s=100", "s"), base);
    EXPECT_EQ(RemoveURLParam(std::string(base) + "&s=100&nh=1", "s"), std::string(base) + "&nh=1");
    // A prefix match: "&srchType=T" comes first and is the one removed.
    EXPECT_EQ(RemoveURLParam(std::string(base) + "&srchType=T&s=100", "s"), std::string(base) + "&s=100");
    EXPECT_EQ(RemoveURLParam(base, "s"), base);
}

TEST(TextFunctionsTest, CharacterFilters) {
    EXPECT_EQ(RemoveTags("<p class=\"x\">Hello <b>\nworld</b></p> a < b"), "Hello \nworld a < b");
    EXPECT_EQ(RemoveTags("a <b\nc> d"), "a  d");
    EXPECT_EQ(RemoveSpecialCharacters("a\tb~c\x7f" "é"), "ab~c");
    EXPECT_EQ(RemoveErroneousCharacters("a\tb~c}é"), "a\tbc}");
}

TEST(TextFunctionsTest, SiteEncodings) {
    EXPECT_EQ(EncodeASCII("AB"), "065066");
    EXPECT_EQ(EncodeASCII("a é"), "097032233");
    EXPECT_EQ(EncodeASCII("€"), "8364");
    EXPECT_EQ(Encode64(""), "");
    EXPECT_EQ(Encode64("abc"), "__YWJj__");
    EXPECT_EQ(Encode64("ab"), "__YWI,__");
    EXPECT_EQ(Encode64("\xfb\xff"), "___-8,__"); // the alphabet's last two letters
    EXPECT_EQ(Encode64("__x__"), "__x__");         // already encoded
    EXPECT_EQ(Encode64("____"), "__X19fXw,,__");   // too short to be an encoded text
    EXPECT_EQ(MD5(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(MD5("The quick brown fox jumps over the lazy dog"), "9e107d9d372bb6826bd81d3542a419d6");
    EXPECT_EQ(MD5(std::string(200, 'a')), MD5(std::string(200, 'a')));
    EXPECT_NE(MD5(std::string(200, 'a')), MD5(std::string(199, 'a') + "b"));
}

TEST(TextFunctionsTest, CraigsDates) {
    struct Case {
        const char* date;
        const char* month;
        int day;
    };
    const Case cases[] = {
        {"Dec 12", "Dec", 12}, {"dec", "dec", 1},           {"12", "", 12},
        {"Jan 0", "Jan", 1},   {"Feb 99999999999", "Feb", 1}, {"", "", 1},
    };
    for (const auto& c : cases) {
        std::string month = "junk";
        int day = -5;
        DisassembleCraigsDate(c.date, month, day);
        EXPECT_EQ(month, c.month) << c.date;
        EXPECT_EQ(day, c.day) << c.date;
    }
    EXPECT_EQ(CraigsMonthToInt("dEC"), 12);
    EXPECT_EQ(CraigsMonthToInt("Jan"), 1);
    EXPECT_EQ(CraigsMonthToInt("Sep"), 9);
    EXPECT_EQ(CraigsMonthToInt("December"), 1);
    EXPECT_EQ(CraigsMonthToInt(""), 1);
    EXPECT_EQ(IntToCraigsMonth(12), "Dec");
    EXPECT_EQ(IntToCraigsMonth(0), "Jan");
    EXPECT_EQ(IntToCraigsMonth(13), "Jan");
    EXPECT_TRUE(DateExists(8, 31));
    EXPECT_FALSE(DateExists(9, 31));
    EXPECT_FALSE(DateExists(2, 30));
    EXPECT_TRUE(DateExists(2, 29));
}

TEST(TextFunctionsTest, YesNoAndTrim) {
    EXPECT_EQ(YesNoToTrueFalse("Yes"), "true");
    EXPECT_EQ(YesNoToTrueFalse("NO"), "false");
    EXPECT_EQ(YesNoToTrueFalse("maybe"), "maybe");
    EXPECT_EQ(Trim("\r\n\t a b \x01"), "a b");
}

}  // namespace
}  // namespace trawlix
