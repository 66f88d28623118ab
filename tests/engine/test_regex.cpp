#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "engine/regex.h"

namespace trawlix {
namespace {

std::vector<std::string> AllMatches(TCRegEx& aRegEx) {
    std::vector<std::string> found;
    for (bool ok = aRegEx.Match(); ok; ok = aRegEx.MatchAgain()) found.push_back(aRegEx.MatchedExpression());
    return found;
}

struct OptionCase {
    const char* pattern;
    TPerlRegExOptions options;
    const char* subject;
    const char* expected;  // nullptr: no match
};

TEST(TCRegExTest, OptionsChangeWhatMatches) {
    const OptionCase cases[] = {
        {"abc", 0, "xABCx", nullptr},
        {"abc", preCaseLess, "xABCx", "ABC"},
        {"a.c", 0, "a\nc", nullptr},
        {"a.c", preSingleLine, "a\nc", "a\nc"},
        {"^b", 0, "a\nb", nullptr},
        {"^b", preMultiLine, "a\nb", "b"},
        {"^b", preMultiLine, "a\rb", "b"},  // any line end counts, CR too
        {"a+", preUnGreedy, "aaa", "a"},
        {"a b # comment", preExtended, "ab", "ab"},
        {"b", preAnchored, "ab", nullptr},
        {"<b>.*?</b>", preCaseLess | preSingleLine, "<B>x\ny</b></b>", "<B>x\ny</b>"},
    };
    for (const auto& c : cases) {
        TCRegEx regEx(c.pattern, c.options);
        regEx.SetSubject(c.subject);
        bool matched = regEx.Match();
        if (c.expected == nullptr) {
            EXPECT_FALSE(matched) << c.pattern << " on " << c.subject;
        } else {
            ASSERT_TRUE(matched) << c.pattern << " on " << c.subject;
            EXPECT_EQ(regEx.MatchedExpression(), c.expected) << c.pattern;
        }
    }
}

TEST(TCRegExTest, NoAutoCaptureLeavesOnlyNamedGroups) {
    TCRegEx regEx("(a)(?<second>b)", preNoAutoCapture);
    regEx.SetSubject("ab");
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.SubExpressionCount(), 1);
    EXPECT_EQ(regEx.SubExpressions(1), "b");
}

TEST(TCRegExTest, OffsetsAreOneBasedBytePositionsInUtf8) {
    TCRegEx regEx("(b+)(x)?");
    regEx.SetSubject("é€ab");  // 2 + 3 bytes before "a"
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.MatchedExpressionOffset(), 7);
    EXPECT_EQ(regEx.MatchedExpressionLength(), 1);
    EXPECT_EQ(regEx.SubExpressionOffsets(1), 7);
    EXPECT_EQ(regEx.SubExpressions(2), "");  // unset group
    EXPECT_EQ(regEx.SubExpressionOffsets(2), 0);
    EXPECT_EQ(regEx.SubExpressions(9), "");  // no such group
    EXPECT_EQ(regEx.GetStart(), 8);
}

TEST(TCRegExTest, CaseLessMatchesNonAsciiLetters) {
    TCRegEx regEx("émile");
    regEx.SetSubject("ÉMILE");
    EXPECT_TRUE(regEx.Match());
}

TEST(TCRegExTest, MatchAgainWalksThroughTheSubjectAndHonoursStart) {
    TCRegEx regEx(R"(\d+)");
    regEx.SetSubject("1 22 333");
    EXPECT_EQ(AllMatches(regEx), (std::vector<std::string>{"1", "22", "333"}));

    ASSERT_TRUE(regEx.Match());
    regEx.SetStart(6);  // skip "22"
    ASSERT_TRUE(regEx.MatchAgain());
    EXPECT_EQ(regEx.MatchedExpression(), "333");
    EXPECT_FALSE(regEx.MatchAgain());
}

TEST(TCRegExTest, EmptyMatchesAdvanceByOneWholeCharacter) {
    TCRegEx regEx("x*");
    regEx.SetSubject("aé");
    std::vector<int> offsets;
    for (bool ok = regEx.Match(); ok; ok = regEx.MatchAgain()) offsets.push_back(regEx.MatchedExpressionOffset());
    EXPECT_EQ(offsets, (std::vector<int>{1, 2, 4}));
}

TEST(TCRegExTest, ReplaceAllExpandsGroupsAndAsksOnReplace) {
    TCRegEx regEx(R"((\w+)@(\w+))");
    regEx.SetSubject("a@b, c@d");
    regEx.SetReplacement(R"(\2 at \1 (\&) \\)");
    EXPECT_TRUE(regEx.ReplaceAll());
    EXPECT_EQ(regEx.GetSubject(), R"(b at a (a@b) \, d at c (c@d) \)");

    TCRegEx upper("[a-z]+");
    upper.SetSubject("ab-cd");
    int calls = 0;
    upper.SetOnReplace([&](TCRegEx& aRegEx) {
        ++calls;
        aRegEx.SetReplacement("<" + std::to_string(aRegEx.MatchedExpressionLength()) + ">");
    });
    EXPECT_TRUE(upper.ReplaceAll());
    EXPECT_EQ(upper.GetSubject(), "<2>-<2>");
    EXPECT_EQ(calls, 2);

    TCRegEx none("z");
    none.SetSubject("abc");
    EXPECT_FALSE(none.ReplaceAll());
    EXPECT_EQ(none.GetSubject(), "abc");
}

TEST(TCRegExTest, ErrorsCarryTheirMessages) {
    TCRegEx empty;
    empty.SetSubject("abc");
    try {
        empty.Match();
        FAIL() << "matching without a pattern must raise";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "TPerlRegEx2.Compile() - Please specify a regular expression in RegEx first");
    }
    TCRegEx broken("ab(c");
    broken.SetSubject("abc");
    try {
        broken.Match();
        FAIL() << "a broken pattern must raise";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("TPerlRegEx2.Compile() - Error in regex at offset 4: ", 0), 0u) << e.what();
    }
}

TEST(TCRegExTest, ChangingThePatternRecompiles) {
    TCRegEx regEx("a");
    regEx.SetSubject("ab");
    ASSERT_TRUE(regEx.Match());
    regEx.SetRegEx("b");
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.MatchedExpressionOffset(), 2);
}

TEST(TCRegExTest, InvalidUtf8SubjectDoesNotBreakMatching) {
    TCRegEx regEx("<b>(.*?)</b>");
    regEx.SetSubject(std::string("\xff\xfe<b>ok</b>\x80<b>\xc3</b>"));
    ASSERT_TRUE(regEx.Match());
    EXPECT_EQ(regEx.MatchedExpressionOffset(), 3);
    EXPECT_EQ(regEx.SubExpressions(1), "ok");
    // A bad byte is no character, so "." does not step over it.
    EXPECT_FALSE(regEx.MatchAgain());
}

TEST(TCRegExTest, QuadraticWorkOnAHostileSubjectRaisesInsteadOfHanging) {
    std::string page;
    for (int i = 0; i < 5000; ++i) page += "<p>x";
    TCRegEx regEx(R"re(<p.*?>.*?<a\s+href\s*=\s*"(.*?)">\s*(.*?)\s*</p>)re");
    regEx.SetSubject(page);
    EXPECT_THROW(regEx.Match(), std::runtime_error);
}

}  // namespace
}  // namespace trawlix
