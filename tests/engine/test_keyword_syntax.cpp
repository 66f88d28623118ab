#include <gtest/gtest.h>

#include <string>

#include "engine/keyword_syntax.h"

namespace trawlix {
namespace {

TEST(KeywordSyntaxTest, ValidateKeywordsCleansTheEdgesOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"  |red bike|  ", "red bike"},
        {"red\r\nbike", "red bike"},
        {"red\nbike\rnow", "red bike now"},
        {"\t| \"a b\" | (c | d) -e |\n", "\"a b\" | (c | d) -e"},
        {"", ""},
        {" | | ", ""},
        {"x", "x"},
    };
    for (const auto& [typed, cleaned] : cases) EXPECT_EQ(ValidateKeywords(typed), cleaned) << typed;
}

TEST(KeywordSyntaxTest, BuildKeywordsFromPattern) {
    struct Case {
        TKeywordPattern pattern;
        const char* line;
    };
    const Case cases[] = {
        {{"bike", "mountain bike", "red", "", "blue", "kids used"}, "bike \"mountain bike\" (red | blue) -kids -used"},
        {{"", "", "", "only", "", ""}, "only"},
        {{"", "", "a", "b", "c", ""}, "(a | b | c)"},
        {{"", "", "\"big city\"", "", "", ""}, "\"big city\""},
        {{"", "x", "", "", "", ""}, "\"x\""},
        {{"", "", "", "", "", "spam"}, "-spam"},
        {{" a ", "", "", "", "", ""}, " a "},  // read untrimmed
        {{}, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(BuildKeywordsFromPattern(c.pattern), c.line);
}

TEST(KeywordSyntaxTest, StoredPatternTrimsAndBracketsTheOrFields) {
    TKeywordPattern typed{" bike ", " mountain bike ", " \"big city\" ", "\"a\" \"b\"", "\"odd", " none "};
    TKeywordPattern stored = PatternToStore(typed);
    EXPECT_EQ(stored.allThese, "bike");
    EXPECT_EQ(stored.exact, "mountain bike");
    EXPECT_EQ(stored.or1, "(big city)");
    EXPECT_EQ(stored.or2, "(a) (b)");
    EXPECT_EQ(stored.or3, "(odd");
    EXPECT_EQ(stored.noneOfThese, "none");
    EXPECT_EQ(ReplaceQuotesWithBrackets("no quotes"), "no quotes");
}

TEST(KeywordSyntaxTest, OperatorButtons) {
    struct Case {
        TKeywordEdit (*button)(const TKeywordEdit&);
        TKeywordEdit before;
        std::string text;
        size_t caret;
    };
    const Case cases[] = {
        {ApplyOrOperator, {"red blue green", 0, 14}, "red | blue | green", 18},
        {ApplyOrOperator, {"x red  blue y", 2, 9}, "x red | blue y", 12},  // two spaces, one bar
        {ApplyOrOperator, {"ab", 1, 0}, "a | b", 4},
        {ApplyNotOperator, {"a spam", 2, 4}, "a -spam", 7},
        {ApplyNotOperator, {"a ", 2, 0}, "a -", 3},
        {ApplyPhraseOperator, {"a b", 0, 3}, "\"a b\"", 5},
        {ApplyPhraseOperator, {"x ", 2, 0}, "x \"\"", 3},  // caret between the quotes
        {ApplyGroupOperator, {"a | b", 0, 5}, "(a | b)", 7},
        {ApplyGroupOperator, {"", 0, 0}, "()", 1},
        {ApplyGroupOperator, {"ab", 9, 9}, "ab()", 3},  // a caret past the end stays at the end
    };
    for (const auto& c : cases) {
        TKeywordEdit after = c.button(c.before);
        EXPECT_EQ(after.text, c.text) << c.before.text;
        EXPECT_EQ(after.selStart, c.caret) << c.before.text;
        EXPECT_EQ(after.selLength, 0u);
    }
}

TEST(KeywordSyntaxTest, UnbalancedQuoteWarning) {
    const std::pair<const char*, bool> cases[] = {
        {"\"mountain bike", true},   {"mountain bike\"", true}, {"\"a\" \"b", true},
        {"\"mountain bike\"", false}, {"bike", false},           {"", false},
        {"\"a\" \"b\"", false},
    };
    for (const auto& [keywords, warns] : cases) EXPECT_EQ(UnbalancedQuoteWarningApplies(keywords), warns) << keywords;
}

TEST(KeywordSyntaxTest, PhraseWithOrWarning) {
    EXPECT_TRUE(PhraseWithOrWarningApplies("\"mountain bike\" (red | blue)"));
    EXPECT_FALSE(PhraseWithOrWarningApplies("(red | blue)"));
    EXPECT_FALSE(PhraseWithOrWarningApplies("\"mountain bike\" red"));
    EXPECT_STREQ(kPhraseWithOrWarning,
                 "Using quoted phrases with OR statements is not supported by Craigslist.Please review your keywords "
                 "and replace the quotes with brackets.Do you want to continue?");
}

}  // namespace
}  // namespace trawlix
