#pragma once

#include <cstddef>
#include <string>

namespace trawlix {

// The keyword line: words (all must match), "exact phrases", alternatives with "|",
// (groups) and -excluded words. The sites get the cleaned line.

// Removes leading and trailing runs of white space and "|", and turns line breaks into
// spaces. Inner text passes through as typed.
std::string ValidateKeywords(const std::string& aKeywords);

// The six fields of the predefined keyword patterns dialog.
struct TKeywordPattern {
    std::string allThese;
    std::string exact;  // the phrase, without quotes
    std::string or1;
    std::string or2;
    std::string or3;
    std::string noneOfThese;
};

// The keyword line built from the fields as typed (untrimmed).
std::string BuildKeywordsFromPattern(const TKeywordPattern& aPattern);
// Turns the 1st, 3rd, 5th... double quote into "(" and the 2nd, 4th... into ")".
std::string ReplaceQuotesWithBrackets(const std::string& aText);
// The fields as a search keeps them after the dialog's OK: trimmed, the OR fields with
// their quotes turned into brackets.
TKeywordPattern PatternToStore(const TKeywordPattern& aTyped);

// A keyword box's text with its selection (byte offsets into the UTF-8 text). With no
// selection, selStart is the caret.
struct TKeywordEdit {
    std::string text;
    size_t selStart = 0;
    size_t selLength = 0;
};

// The operator buttons; each returns the new text with the caret (no selection) placed
// where the user goes on typing.
TKeywordEdit ApplyOrOperator(const TKeywordEdit& aEdit);
TKeywordEdit ApplyNotOperator(const TKeywordEdit& aEdit);
TKeywordEdit ApplyPhraseOperator(const TKeywordEdit& aEdit);
TKeywordEdit ApplyGroupOperator(const TKeywordEdit& aEdit);

inline constexpr const char* kPhraseWithOrWarning =
    "Using quoted phrases with OR statements is not supported by Craigslist.Please review your keywords and "
    "replace the quotes with brackets.Do you want to continue?";
// Whether the cleaned keywords combine a quoted phrase with an alternative, which
// Craigslist does not support.
bool PhraseWithOrWarningApplies(const std::string& aKeywords);

inline constexpr const char* kUnbalancedQuoteWarning =
    "Your keywords hold a double quote without its partner, so a phrase is opened and never closed. The sites "
    "may read them differently than you meant. Please review your keywords.\n\nDo you want to continue?";
// Whether the keywords hold an odd number of double quotes.
bool UnbalancedQuoteWarningApplies(const std::string& aKeywords);

}  // namespace trawlix
