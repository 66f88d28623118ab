#include "engine/results_parser.h"

#include <exception>
#include <string_view>

#include "engine/text_functions.h"

namespace trawlix {

namespace {
constexpr TPerlRegExOptions kPageOptions = preCaseLess | preSingleLine;

// A feed field with an optional CDATA wrapper; group 2 is the value.
std::string FeedFieldPattern(const std::string& aTag) {
    return "<" + aTag + R"(>\s*?(<!\[CDATA\[)?\s*?(.*?)\s*(\]\]>)?\s*?</)" + aTag + ">";
}
}  // namespace

TBaseResultsParser::TBaseResultsParser()
    : fRegExTitle(FeedFieldPattern("title"), kPageOptions),
      fRegExPubDate(FeedFieldPattern("pubDate"), kPageOptions),
      fRegExLink(FeedFieldPattern("link"), kPageOptions),
      fRegExDescription(FeedFieldPattern("description"), kPageOptions),
      fRegExDay(R"((\d+)\s+(.+?)\s)", kPageOptions),
      fRegExPrice(R"(\$\s*([\d\.,]+))", kPageOptions) {}

int TBaseResultsParser::ParseRSS() { return ParseRSSRE(); }

int TBaseResultsParser::Parse() { return ParseRSS(); }

void TBaseResultsParser::ReportResult(const TParsedResult& aResult) {
    if (fOnResultParsed) fOnResultParsed(aResult);
}

int TBaseResultsParser::ParseRSSRE() {
    if (fHTML.empty()) return 0;
    int count = 0;
    try {
        std::string itemText;
        for (size_t pos = 0; NextFeedItem(pos, itemText);)
            if (ParseFeedItem(itemText)) ++count;
    } catch (const std::exception&) {
        // A broken page ends the parse; what was found so far stands.
    }
    return count;
}

namespace {
// The blanks of a pattern's "\s": space, tab, line feed, vertical tab, form feed, return.
bool IsPatternBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
}  // namespace

// The text of the next "<item>...</item>" from aPos on, without the blanks at its ends,
// in any case of the tags; aPos moves past it. False when no closed item follows.
bool TBaseResultsParser::NextFeedItem(size_t& aPos, std::string& aItemText) const {
    static constexpr std::string_view cOpen = "<item>";
    static constexpr std::string_view cClose = "</item>";
    const size_t open = FindIgnoreCase(fHTML, cOpen, aPos);
    if (open == std::string::npos) return false;
    size_t begin = open + cOpen.size();
    const size_t close = FindIgnoreCase(fHTML, cClose, begin);
    if (close == std::string::npos) return false;
    while (begin < close && IsPatternBlank(fHTML[begin])) ++begin;
    size_t end = close;
    while (end > begin && IsPatternBlank(fHTML[end - 1])) --end;
    aItemText.assign(fHTML, begin, end - begin);
    aPos = close + cClose.size();
    return true;
}

std::string TBaseResultsParser::FieldOfItem(TCRegEx& aRegEx, const std::string& aItemText) {
    aRegEx.SetSubject(aItemText);
    return aRegEx.Match() ? aRegEx.SubExpressions(2) : std::string();
}

std::string TBaseResultsParser::FeedLink(const std::string& aItemText) {
    fRegExLink.SetSubject(aItemText);
    if (!fRegExLink.Match()) return {};
    // A link written as plain text has its "&" written "&amp;"; in a CDATA block it is literal.
    const bool inCData = !fRegExLink.SubExpressions(1).empty();
    const std::string link = Trim(fRegExLink.SubExpressions(2));
    return inCData ? link : UnEscapeHTML(link);
}

bool TBaseResultsParser::ParseFeedItem(const std::string& aItemText) {
    TParsedResult result;
    result.name = FieldOfItem(fRegExTitle, aItemText);
    std::string pubDate = FieldOfItem(fRegExPubDate, aItemText);
    result.link = FeedLink(aItemText);
    result.description = FieldOfItem(fRegExDescription, aItemText);

    // "Mon, 12 Dec 2011 10:15:00 -0800" gives "Dec 12"; an item without a day is dropped.
    fRegExDay.SetSubject(pubDate);
    if (!fRegExDay.Match()) return false;
    result.date = fRegExDay.SubExpressions(2) + " " + fRegExDay.SubExpressions(1);

    fRegExPrice.SetSubject(result.name);
    result.price = ReadPrice(fRegExPrice.Match() ? fRegExPrice.SubExpressions(1) : std::string());
    result.hasImage = true;
    ReportResult(result);
    return true;
}

}  // namespace trawlix
