#include "sites/craig_results_parser.h"

#include <exception>
#include <string_view>

#include "engine/text_functions.h"

namespace trawlix {

namespace {
constexpr TPerlRegExOptions kPageOptions = preCaseLess | preSingleLine;
const char kNothingFound[] = "Nothing found for that search ( All words must match ).";
}  // namespace

TCraigSiteResultsParser::TCraigSiteResultsParser()
    : fRegExQueryListings(
          R"re(<p.*?>\s*(?:[^/]*?</span>)?\s+(.*?)\s+(\d+).*?<a\s+href\s*=\s*"(.*?)">\s*(.*?)\s*</p>)re", kPageOptions),
      fRegExpDateHeading(R"re(<h4.*?>\s*.+? +?(.*?) +?(\d+)</h4>)re", kPageOptions),
      fRegExpDateBlockEnd(R"re(<h4.*?>|<p\s+align\s*=\s*"center"\s*>)re", kPageOptions),
      fRegExpAds(R"re(<p.*?>.*?<a\s+href\s*=\s*"(.*?)">\s*(.*?)\s*</p>)re", kPageOptions),
      fRegExDisplaying(R"re(Displaying\s*:\s*(\d+)\s*-\s*(\d+))re", kPageOptions),
      fRegExListingEnd(R"re(Few LOCAL results found.|Displaying\s*:\s*\d+\s*-\s*\d+|<div>Sort by:<strong>)re",
                       kPageOptions) {}

int TCraigSiteResultsParser::Parse() {
    if (fHTML.empty()) return 0;
    try {
        return fOnlyCatListings ? ParseCatListings() : ParseQueryListings();
    } catch (const std::exception&) {
        return 0;
    }
}

namespace {

std::string_view TrimmedView(std::string_view aText) {
    size_t begin = 0;
    size_t end = aText.size();
    while (begin < end && static_cast<unsigned char>(aText[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(aText[end - 1]) <= ' ') --end;
    return aText.substr(begin, end - begin);
}

// The text up to its first blank ("" when it starts with one).
std::string_view FirstWord(std::string_view aText) { return aText.substr(0, aText.find(' ')); }

// The first word of the title after its currency mark. Blanks between the mark and the
// number are skipped, so "$ 150" and "EUR 300" read as prices too.
std::string FirstWordAfter(std::string_view aTitle, size_t aMarkLength) {
    return std::string(TrimmedView(FirstWord(TrimmedView(aTitle.substr(aMarkLength)))));
}

}  // namespace

std::string CraigsPriceText(const std::string& aTitle) {
    const std::string_view title = aTitle;
    const size_t lastDollar = title.rfind('$');
    if (lastDollar != std::string_view::npos) {
        if (title[0] == '$') return FirstWordAfter(title, 1);
        return std::string(FirstWord(TrimmedView(title.substr(lastDollar + 1))));
    }
    size_t euro = title.find("EUR");
    if (euro == std::string_view::npos) {
        if (title.size() >= 2 && title[0] == 'A' && title[1] == '?') return FirstWordAfter(title, 2);
        return {};
    }
    if (euro == 0) return FirstWordAfter(title, 3);
    return std::string(TrimmedView(title.substr(euro + 3)));
}

std::string TCraigSiteResultsParser::ExtractImageUrl(const std::string& aEntryHtml) {
    static constexpr std::string_view cImagesId = "id=\"images:";
    const size_t idStart = FindIgnoreCase(aEntryHtml, cImagesId);
    if (idStart == std::string::npos) return {};
    const size_t nameStart = idStart + cImagesId.size();
    const size_t nameEnd = aEntryHtml.find('"', nameStart);
    if (nameEnd == std::string::npos) return {};
    return fImageBaseURL + UnEscapeHTML(aEntryHtml.substr(nameStart, nameEnd - nameStart));
}

void TCraigSiteResultsParser::ReportAd(const std::string& aDate, const std::string& aRawLink,
                                       const std::string& aRawTitle, const std::string& aAdHtml) {
    TParsedResult result;
    result.date = aDate;
    result.link = UnEscapeHTML(aRawLink);
    result.name = UnEscapeHTML(ExtractDataTags(">" + aRawTitle + "<"));
    result.price = ReadPrice(CraigsPriceText(result.name));
    result.hasImage = result.name.find("pic") != std::string::npos || result.name.find("img") != std::string::npos;
    result.imageUrl = ExtractImageUrl(aAdHtml);
    ReportResult(result);
}

// Each day heading is followed by that day's ads, up to the next heading or the
// "next 100 postings" paragraph. The heading and the block's end are searched for apart:
// one pattern with a lazy block between them retries the end at every byte of the block.
int TCraigSiteResultsParser::ParseCatListings() {
    int count = 0;
    fRegExpDateHeading.SetSubject(fHTML);
    fRegExpDateBlockEnd.SetSubject(fHTML);
    for (bool found = fRegExpDateHeading.Match(); found; found = fRegExpDateHeading.MatchAgain()) {
        const int blockStart = fRegExpDateHeading.GetStart();
        fRegExpDateBlockEnd.SetStart(blockStart);
        if (!fRegExpDateBlockEnd.MatchAgain()) break;
        const int blockEnd = fRegExpDateBlockEnd.MatchedExpressionOffset();
        std::string date = fRegExpDateHeading.SubExpressions(1) + " " + fRegExpDateHeading.SubExpressions(2);
        fRegExpAds.SetSubject(fHTML.substr(blockStart - 1, blockEnd - blockStart));
        for (bool ad = fRegExpAds.Match(); ad; ad = fRegExpAds.MatchAgain()) {
            ReportAd(date, fRegExpAds.SubExpressions(1), fRegExpAds.SubExpressions(2), fRegExpAds.MatchedExpression());
            ++count;
        }
        // The heading that ended this block starts the next one.
        fRegExpDateHeading.SetStart(blockEnd);
    }
    return count;
}

// The text before the first of the end markers; empty when none follows.
std::string TCraigSiteResultsParser::ListingBeforeEndMarker(std::string aRest) {
    fRegExListingEnd.SetSubject(std::move(aRest));
    if (!fRegExListingEnd.Match()) return {};
    return fRegExListingEnd.GetSubject().substr(0, static_cast<size_t>(fRegExListingEnd.MatchedExpressionOffset() - 1));
}

int TCraigSiteResultsParser::ParseQueryListings() {
    if (fHTML.find(kNothingFound) != std::string::npos) return 0;
    // The ads lie between the "Displaying" line and the first of the end markers.
    std::string rest;
    fRegExDisplaying.SetSubject(fHTML);
    if (fRegExDisplaying.Match()) {
        double first = StrToFloatDefSafe(fRegExDisplaying.SubExpressions(1), 0);
        double last = StrToFloatDefSafe(fRegExDisplaying.SubExpressions(2), 0);
        if (first > last) {
            // Asked for a page beyond the last one of the query.
            fSearchLinkPagesOverflow = true;
            return 0;
        }
        rest = fHTML.substr(fRegExDisplaying.MatchedExpressionOffset() - 1 + fRegExDisplaying.MatchedExpressionLength());
    } else {
        rest = fHTML;
    }
    std::string listing = ListingBeforeEndMarker(std::move(rest));
    if (listing.empty()) return 0;
    int count = 0;
    fRegExQueryListings.SetSubject(std::move(listing));
    for (bool found = fRegExQueryListings.Match(); found; found = fRegExQueryListings.MatchAgain()) {
        std::string date = fRegExQueryListings.SubExpressions(1) + " " + fRegExQueryListings.SubExpressions(2);
        ReportAd(date, fRegExQueryListings.SubExpressions(3), fRegExQueryListings.SubExpressions(4),
                 fRegExQueryListings.MatchedExpression());
        ++count;
    }
    return count;
}

}  // namespace trawlix
