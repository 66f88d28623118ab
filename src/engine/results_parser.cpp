#include "engine/results_parser.h"

#include <exception>

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
    : fRegExItem(R"(<item>\s*(.*?)\s*</item>)", kPageOptions),
      fRegExTitle(FeedFieldPattern("title"), kPageOptions),
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
        fRegExItem.SetSubject(fHTML);
        for (bool found = fRegExItem.Match(); found; found = fRegExItem.MatchAgain())
            if (ParseFeedItem(fRegExItem.SubExpressions(1))) ++count;
    } catch (const std::exception&) {
        // A broken page ends the parse; what was found so far stands.
    }
    return count;
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
