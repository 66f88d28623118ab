#include "engine/craig_results_parser.h"

#include <exception>

#include "engine/text_functions.h"

namespace trawlix {

namespace {
constexpr TPerlRegExOptions kPageOptions = preCaseLess | preSingleLine;
const char kNothingFound[] = "Nothing found for that search ( All words must match ).";
}  // namespace

TCraigSiteResultsParser::TCraigSiteResultsParser()
    : fRegExQueryListings(
          R"re(<p.*?>\s*(?:[^/]*?</span>)?\s+(.*?)\s+(\d+).*?<a\s+href\s*=\s*"(.*?)">\s*(.*?)\s*</p>)re", kPageOptions),
      fRegExImageUrl(R"re(id="images:(.*?)")re", kPageOptions),
      fRegExpDateBlock(R"re(<h4.*?>\s*.+? +?(.*?) +?(\d+)</h4>(.*?)(<h4.*?>|<p\s+align\s*=\s*"center"\s*>))re",
                       kPageOptions),
      fRegExpAds(R"re(<p.*?>.*?<a\s+href\s*=\s*"(.*?)">\s*(.*?)\s*</p>)re", kPageOptions),
      fRegExDisplaying(R"re(Displaying\s*:\s*(\d+)\s*-\s*(\d+))re", kPageOptions),
      fRegExListingEnd(R"re((.*?)(Few LOCAL results found.|Displaying\s*:\s*\d+\s*-\s*\d+|<div>Sort by:<strong>))re",
                       kPageOptions) {}

int TCraigSiteResultsParser::Parse() {
    if (fHTML.empty()) return 0;
    try {
        return fOnlyCatListings ? ParseCatListings() : ParseQueryListings();
    } catch (const std::exception&) {
        return 0;
    }
}

// The first word of the title after its currency mark. Blanks between the mark and the
// number are skipped, so "$ 150" and "EUR 300" read as prices too.
std::string FirstWordAfter(const std::string& aTitle, size_t aMarkLength) {
    return Trim(ReadFromLeft(Trim(aTitle.substr(aMarkLength)), 1, " "));
}

std::string CraigsPriceText(const std::string& aTitle) {
    if (aTitle.find('$') != std::string::npos) {
        if (aTitle[0] == '$') return FirstWordAfter(aTitle, 1);
        return ReadFromLeft(Trim(ReadFromRight(aTitle, 1, "$")), 1, " ");
    }
    size_t euro = aTitle.find("EUR");
    if (euro == std::string::npos) {
        if (aTitle.size() >= 2 && aTitle[0] == 'A' && aTitle[1] == '?') return FirstWordAfter(aTitle, 2);
        return {};
    }
    if (euro == 0) return FirstWordAfter(aTitle, 3);
    return Trim(aTitle.substr(euro + 3));
}

std::string TCraigSiteResultsParser::ExtractImageUrl(const std::string& aEntryHtml) {
    fRegExImageUrl.SetSubject(aEntryHtml);
    if (!fRegExImageUrl.Match()) return {};
    return fImageBaseURL + UnEscapeHTML(fRegExImageUrl.SubExpressions(1));
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

int TCraigSiteResultsParser::ParseCatListings() {
    int count = 0;
    fRegExpDateBlock.SetSubject(fHTML);
    for (bool found = fRegExpDateBlock.Match(); found; found = fRegExpDateBlock.MatchAgain()) {
        std::string date = fRegExpDateBlock.SubExpressions(1) + " " + fRegExpDateBlock.SubExpressions(2);
        fRegExpAds.SetSubject(fRegExpDateBlock.SubExpressions(3));
        for (bool ad = fRegExpAds.Match(); ad; ad = fRegExpAds.MatchAgain()) {
            ReportAd(date, fRegExpAds.SubExpressions(1), fRegExpAds.SubExpressions(2), fRegExpAds.MatchedExpression());
            ++count;
        }
        // The heading that ended this block starts the next one.
        fRegExpDateBlock.SetStart(fRegExpDateBlock.SubExpressionOffsets(4));
    }
    return count;
}

std::string TCraigSiteResultsParser::ListingBeforeEndMarker(std::string aRest) {
    fRegExListingEnd.SetSubject(std::move(aRest));
    if (!fRegExListingEnd.Match()) return {};
    return fRegExListingEnd.SubExpressions(1);
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
