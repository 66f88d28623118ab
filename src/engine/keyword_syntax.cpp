#include "engine/keyword_syntax.h"

#include <algorithm>
#include <vector>

#include "engine/text_functions.h"

namespace trawlix {

namespace {

// White space as a regular expression's "\s" knows it, and the alternative bar.
bool IsEdgeJunk(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '|'; }

void Append(std::string& aLine, const std::string& aText) {
    if (!aLine.empty()) aLine += ' ';
    aLine += aText;
}

// The selection replaced by aReplacement; the caret goes aCaretInReplacement bytes into it.
TKeywordEdit ReplaceSelection(const TKeywordEdit& aEdit, const std::string& aReplacement, size_t aCaretInReplacement) {
    size_t start = std::min(aEdit.selStart, aEdit.text.size());
    size_t length = std::min(aEdit.selLength, aEdit.text.size() - start);
    TKeywordEdit result;
    result.text = aEdit.text.substr(0, start) + aReplacement + aEdit.text.substr(start + length);
    result.selStart = start + aCaretInReplacement;
    return result;
}

std::string Selection(const TKeywordEdit& aEdit) {
    size_t start = std::min(aEdit.selStart, aEdit.text.size());
    return aEdit.text.substr(start, std::min(aEdit.selLength, aEdit.text.size() - start));
}

}  // namespace

std::string ValidateKeywords(const std::string& aKeywords) {
    size_t begin = 0;
    size_t end = aKeywords.size();
    while (begin < end && IsEdgeJunk(aKeywords[begin])) ++begin;
    while (end > begin && IsEdgeJunk(aKeywords[end - 1])) --end;
    // A line break typed into the box separates words like a space (CR LF, or a lone LF
    // or CR as Linux clipboards bring them).
    std::string line = ReplaceAll(aKeywords.substr(begin, end - begin), "\r\n", " ");
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\r', ' ');
    return line;
}

std::string BuildKeywordsFromPattern(const TKeywordPattern& aPattern) {
    std::string line = aPattern.allThese;
    if (!aPattern.exact.empty()) Append(line, "\"" + aPattern.exact + "\"");
    std::vector<std::string> alternatives;
    for (const std::string* field : {&aPattern.or1, &aPattern.or2, &aPattern.or3})
        if (!field->empty()) alternatives.push_back(*field);
    if (alternatives.size() == 1) {
        Append(line, alternatives.front());
    } else if (alternatives.size() > 1) {
        std::string joined = alternatives.front();
        for (size_t i = 1; i < alternatives.size(); ++i) joined += " | " + alternatives[i];
        Append(line, "(" + joined + ")");
    }
    if (!aPattern.noneOfThese.empty()) Append(line, "-" + ReplaceAll(aPattern.noneOfThese, " ", " -"));
    return line;
}

std::string ReplaceQuotesWithBrackets(const std::string& aText) {
    std::string result = aText;
    bool opening = true;
    for (char& c : result) {
        if (c != '"') continue;
        c = opening ? '(' : ')';
        opening = !opening;
    }
    return result;
}

TKeywordPattern PatternToStore(const TKeywordPattern& aTyped) {
    TKeywordPattern stored;
    stored.allThese = Trim(aTyped.allThese);
    stored.exact = Trim(aTyped.exact);
    stored.or1 = ReplaceQuotesWithBrackets(Trim(aTyped.or1));
    stored.or2 = ReplaceQuotesWithBrackets(Trim(aTyped.or2));
    stored.or3 = ReplaceQuotesWithBrackets(Trim(aTyped.or3));
    stored.noneOfThese = Trim(aTyped.noneOfThese);
    return stored;
}

TKeywordEdit ApplyOrOperator(const TKeywordEdit& aEdit) {
    std::string selection = Selection(aEdit);
    if (selection.empty()) return ReplaceSelection(aEdit, " | ", 3);
    std::string alternatives;
    bool inSpaces = false;
    for (char c : Trim(selection)) {
        if (c == ' ') {
            if (!inSpaces) alternatives += " | ";
            inSpaces = true;
        } else {
            alternatives += c;
            inSpaces = false;
        }
    }
    return ReplaceSelection(aEdit, alternatives, alternatives.size());
}

TKeywordEdit ApplyNotOperator(const TKeywordEdit& aEdit) {
    std::string replacement = "-" + Selection(aEdit);
    return ReplaceSelection(aEdit, replacement, replacement.size());
}

TKeywordEdit ApplyPhraseOperator(const TKeywordEdit& aEdit) {
    std::string selection = Selection(aEdit);
    if (selection.empty()) return ReplaceSelection(aEdit, "\"\"", 1);
    std::string replacement = "\"" + selection + "\"";
    return ReplaceSelection(aEdit, replacement, replacement.size());
}

TKeywordEdit ApplyGroupOperator(const TKeywordEdit& aEdit) {
    std::string selection = Selection(aEdit);
    if (selection.empty()) return ReplaceSelection(aEdit, "()", 1);
    std::string replacement = "(" + selection + ")";
    return ReplaceSelection(aEdit, replacement, replacement.size());
}

bool PhraseWithOrWarningApplies(const std::string& aKeywords) {
    return aKeywords.find('"') != std::string::npos && aKeywords.find('|') != std::string::npos;
}

bool UnbalancedQuoteWarningApplies(const std::string& aKeywords) {
    return std::count(aKeywords.begin(), aKeywords.end(), '"') % 2 != 0;
}

}  // namespace trawlix
