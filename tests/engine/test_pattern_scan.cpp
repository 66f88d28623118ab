#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/pattern_scan.h"
#include "engine/regex.h"
#include "engine/results_parser.h"
#include "engine/text_functions.h"

namespace trawlix {
namespace {

constexpr size_t npos = std::string_view::npos;

TEST(PatternScanTest, CaselessLettersIncludeTheirUnicodePartners) {
    struct Case {
        std::string_view text;
        std::string_view literal;
        size_t end;
    };
    const Case cases[] = {
        {"<TiTlE>", "<title>", 7},
        {"<lin\xE2\x84\xAA>", "<link>", 8},               // Kelvin sign for "k"
        {"<de\xC5\xBF" "cription>", "<description>", 14},  // long s for "s"
        {"<lin\xE2\x84>", "<link>", npos},                 // a truncated Kelvin sign is no letter
        {"<tit", "<title>", npos},
        {"<t\xC3\xAEtle>", "<title>", npos},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MatchCaselessAt(c.text, 0, c.literal), c.end) << c.text;
        TCRegEx pattern(std::string(c.literal));
        pattern.SetSubject(std::string(c.text));
        EXPECT_EQ(pattern.Match(), c.end != npos) << c.text;
    }
    size_t end = 0;
    EXPECT_EQ(FindCaseless("x<TITLE><title>", "<title>", 2, end), 8u);
    EXPECT_EQ(end, 15u);
    EXPECT_EQ(FindCaseless("<titl", "<title>", 0, end), npos);
}

TEST(PatternScanTest, OnlyValidUtf8SequencesAreCharacters) {
    const std::pair<std::string_view, size_t> cases[] = {
        {"a", 1},        {"\xC3\xA9", 2},     {"\xE2\x84\xAA", 3}, {"\xF0\x9F\x98\x80", 4},
        {"\xFF", 0},     {"\x80", 0},         {"\xC0\xAF", 0},     // stray continuation, overlong
        {"\xED\xA0\x80", 0},                  // a surrogate
        {"\xF4\x90\x80\x80", 0},              // beyond U+10FFFF
        {"\xE2\x84", 0}, {"\xC3(", 0},        // truncated
    };
    TCRegEx anyCharacter("^.$");
    for (const auto& [text, length] : cases) {
        EXPECT_EQ(Utf8CharLengthAt(text, 0), length) << text;
        anyCharacter.SetSubject(std::string(text.substr(0, length ? length : text.size())));
        EXPECT_EQ(anyCharacter.Match(), length != 0) << text;
    }
    EXPECT_EQ(FindEither("0123456789abcdefghijklmnopqrstuvwxyz", 'y', 'q', 3), 26u);
    EXPECT_EQ(FindEither("0123456789abcdefghijklmnopqrstuvwxyz", '!', '?', 0), npos);
}

// What the feed parser read with patterns before its scan was written out by hand: the
// scan must give the same items, field for field, on any feed.
struct TReferenceFeedParser {
    TCRegEx title{FieldPattern("title")};
    TCRegEx pubDate{FieldPattern("pubDate")};
    TCRegEx link{FieldPattern("link")};
    TCRegEx description{FieldPattern("description")};
    TCRegEx day{R"((\d+)\s+(.+?)\s)"};
    TCRegEx price{R"(\$\s*([\d\.,]+))"};

    static std::string FieldPattern(const std::string& aTag) {
        return "<" + aTag + R"(>\s*?(<!\[CDATA\[)?\s*?(.*?)\s*(\]\]>)?\s*?</)" + aTag + ">";
    }
    static std::string Group(TCRegEx& aRegEx, const std::string& aSubject, int aGroup) {
        aRegEx.SetSubject(aSubject);
        return aRegEx.Match() ? aRegEx.SubExpressions(aGroup) : std::string();
    }

    std::vector<std::string> Parse(const std::string& aFeed) {
        std::vector<std::string> items;
        for (size_t pos = 0;;) {
            const size_t open = FindIgnoreCase(aFeed, "<item>", pos);
            if (open == npos) break;
            const size_t close = FindIgnoreCase(aFeed, "</item>", open + 6);
            if (close == npos) break;
            size_t begin = open + 6;
            size_t end = close;
            while (begin < end && IsPatternBlank(aFeed[begin])) ++begin;
            while (end > begin && IsPatternBlank(aFeed[end - 1])) --end;
            pos = close + 7;
            const std::string item = aFeed.substr(begin, end - begin);
            const std::string name = Group(title, item, 2);
            link.SetSubject(item);
            std::string url;
            if (link.Match()) url = link.SubExpressions(1).empty() ? UnEscapeHTML(Trim(link.SubExpressions(2))) : Trim(link.SubExpressions(2));
            const std::string text = Group(description, item, 2);
            day.SetSubject(Group(pubDate, item, 2));
            if (!day.Match()) continue;
            const double value = ReadPrice(Group(price, name, 1));
            items.push_back(day.SubExpressions(2) + " " + day.SubExpressions(1) + "|" + name + "|" + url + "|" + text +
                            "|" + std::to_string(value));
        }
        return items;
    }
};

TEST(PatternScanTest, FeedsReadAsTheFormerPatternsReadThem) {
    // Tags in any case and with Unicode case partners, CDATA wrappers with and without
    // blanks before them, bytes that are no character, dates with blanks in odd places.
    const char* pieces[] = {"<item>", "</item>", "<title>", "</title>", "<TITLE>", "</tiTle>", "<pubDate>", "</pubdate>",
                            "<link>", "</link>", "<lin\xE2\x84\xAA>", "</LIN\xE2\x84\xAA>", "<description>",
                            "</de\xC5\xBF" "cription>", "<![CDATA[", "<![cdata[", "]]>", "]", " ", "  ", "\n", "\t",
                            "$", "$ ", "1,200", "12.50", ",", "Mon, 12 Dec 2011 10:15:00 -0800", "12", " 3  ", "Dec",
                            "&amp;", "\xC3\xA9", "\xFF", "\xE2\x84", "\xED\xA0\x80", "x", "<", ">", "</"};
    std::mt19937 random(23);
    TReferenceFeedParser reference;
    TBaseResultsParser parser;
    std::vector<std::string> items;
    parser.SetOnResultParsed([&](const TParsedResult& r) {
        items.push_back(r.date + "|" + r.name + "|" + r.link + "|" + r.description + "|" + std::to_string(r.price));
    });
    for (int feedNumber = 0; feedNumber < 20000; ++feedNumber) {
        std::string feed = "<item>";
        for (int piece = random() % 40; piece > 0; --piece) feed += pieces[random() % std::size(pieces)];
        feed += "</item>";
        items.clear();
        parser.SetHTML(feed);
        const int count = parser.Parse();
        const auto expected = reference.Parse(feed);
        ASSERT_EQ(items, expected) << feed;
        ASSERT_EQ(count, static_cast<int>(expected.size())) << feed;
    }
}

}  // namespace
}  // namespace trawlix
