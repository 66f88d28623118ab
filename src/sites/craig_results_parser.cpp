#include "sites/craig_results_parser.h"

#include <algorithm>
#include <exception>
#include <string_view>

#include "engine/pattern_scan.h"
#include "engine/text_functions.h"
#include "sites/craig_json_search.h"
#include "sites/craig_search_page.h"

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
      fRegExDisplaying(R"re(Displaying\s*:\s*(\d+)\s*-\s*(\d+))re", kPageOptions) {}

int TCraigSiteResultsParser::Parse() {
    if (fHTML.empty()) return 0;
    fContext.itemsSkipped = 0;
    try {
        // The format is read from the answer itself, whatever was asked for.
        if (LooksLikeJson(fHTML)) return ParseJsonSearch();
        if (HasCraigStaticList(fHTML)) return ParseSearchPage();
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

// "Dec" and "12" give "Dec 12".
std::string JoinedDate(std::string_view aMonth, std::string_view aDay) {
    std::string date;
    date.reserve(aMonth.size() + 1 + aDay.size());
    date.append(aMonth).append(1, ' ').append(aDay);
    return date;
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

std::string TCraigSiteResultsParser::ExtractImageUrl(std::string_view aEntryHtml) {
    // Found by its colon, which an ad's HTML rarely holds, where its letters are everywhere.
    static constexpr std::string_view cImagesId = "id=\"images:";
    static constexpr size_t cBeforeColon = cImagesId.size() - 1;
    size_t colon = aEntryHtml.find(':', cBeforeColon);
    while (colon != std::string_view::npos && FindIgnoreCase(aEntryHtml.substr(colon - cBeforeColon, cImagesId.size()), cImagesId) != 0)
        colon = aEntryHtml.find(':', colon + 1);
    if (colon == std::string_view::npos) return {};
    const size_t nameStart = colon + 1;
    const size_t nameEnd = aEntryHtml.find('"', nameStart);
    if (nameEnd == std::string_view::npos) return {};
    return fImageBaseURL + UnEscapeHTML(aEntryHtml.substr(nameStart, nameEnd - nameStart));
}

void TCraigSiteResultsParser::ReportAd(std::string aDate, std::string_view aRawLink, std::string_view aRawTitle,
                                       std::string_view aAdHtml) {
    TParsedResult result;
    result.date = std::move(aDate);
    result.link = UnEscapeHTML(aRawLink);
    // The title is read as the content of a tag; the buffer is kept from ad to ad.
    fTitleHtml.assign(1, '>').append(aRawTitle).push_back('<');
    result.name = UnEscapeHTML(ExtractDataTags(fTitleHtml));
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
        const std::string date = JoinedDate(fRegExpDateHeading.SubExpressionView(1), fRegExpDateHeading.SubExpressionView(2));
        fRegExpAds.SetSubject(fHTML.substr(blockStart - 1, blockEnd - blockStart));
        for (bool ad = fRegExpAds.Match(); ad; ad = fRegExpAds.MatchAgain()) {
            ReportAd(date, fRegExpAds.SubExpressionView(1), fRegExpAds.SubExpressionView(2),
                     fRegExpAds.SubExpressionView(0));
            ++count;
        }
        // The heading that ended this block starts the next one.
        fRegExpDateHeading.SetStart(blockEnd);
    }
    return count;
}

namespace {

constexpr size_t npos = std::string_view::npos;

// "Few LOCAL results found" and any one character.
size_t FindFewLocalResults(std::string_view aText) {
    static constexpr std::string_view cMarker = "Few LOCAL results found";
    size_t end = 0;
    for (size_t pos = FindCaseless(aText, cMarker, 0, end); pos != npos; pos = FindCaseless(aText, cMarker, pos + 1, end))
        if (end < aText.size() && Utf8CharLengthAt(aText, end) > 0) return pos;
    return npos;
}

// Where a run of digits starting at aPos ends; npos when none starts there.
size_t DigitsEnd(std::string_view aText, size_t aPos) {
    size_t end = aPos;
    while (end < aText.size() && IsPatternDigit(aText[end])) ++end;
    return end > aPos ? end : npos;
}

// Whether ": 1 - 100" (blanks optional) starts at aPos.
bool IsDisplayedRangeAt(std::string_view aText, size_t aPos) {
    size_t pos = SkipPatternBlanks(aText, aPos);
    if (pos >= aText.size() || aText[pos] != ':') return false;
    pos = DigitsEnd(aText, SkipPatternBlanks(aText, pos + 1));
    if (pos == npos) return false;
    pos = SkipPatternBlanks(aText, pos);
    if (pos >= aText.size() || aText[pos] != '-') return false;
    return DigitsEnd(aText, SkipPatternBlanks(aText, pos + 1)) != npos;
}

// "Displaying: 1 - 100".
size_t FindDisplayedRange(std::string_view aText) {
    static constexpr std::string_view cMarker = "Displaying";
    size_t end = 0;
    for (size_t pos = FindCaseless(aText, cMarker, 0, end); pos != npos; pos = FindCaseless(aText, cMarker, pos + 1, end))
        if (IsDisplayedRangeAt(aText, end)) return pos;
    return npos;
}

// "<div>Sort by:<strong>", found by its colon: the page has few of them, and a "<" starts
// every tag. Its "S" may be a long s, one byte longer.
size_t FindSortBy(std::string_view aText) {
    static constexpr std::string_view cMarker = "<div>Sort by:<strong>";
    static constexpr size_t cBeforeColon = 12;
    for (size_t colon = aText.find(':', cBeforeColon); colon != npos; colon = aText.find(':', colon + 1)) {
        for (size_t before : {cBeforeColon + 1, cBeforeColon})
            if (colon >= before && MatchCaselessAt(aText, colon - before, cMarker) != npos) return colon - before;
    }
    return npos;
}

// Where the first of the end markers starts, in any case; npos when none follows. The
// markers are searched for apart: one pattern of the three would try them at every byte.
size_t FindListingEnd(std::string_view aText) {
    return std::min({FindFewLocalResults(aText), FindDisplayedRange(aText), FindSortBy(aText)});
}

}  // namespace

int TCraigSiteResultsParser::ParseQueryListings() {
    if (fHTML.find(kNothingFound) != std::string::npos) return 0;
    // The ads lie between the "Displaying" line and the first of the end markers.
    size_t restStart = 0;
    fRegExDisplaying.SetSubject(fHTML);
    if (fRegExDisplaying.Match()) {
        double first = StrToFloatDefSafe(fRegExDisplaying.SubExpressions(1), 0);
        double last = StrToFloatDefSafe(fRegExDisplaying.SubExpressions(2), 0);
        if (first > last) {
            // Asked for a page beyond the last one of the query.
            fSearchLinkPagesOverflow = true;
            return 0;
        }
        restStart = static_cast<size_t>(fRegExDisplaying.MatchedExpressionOffset() - 1 +
                                        fRegExDisplaying.MatchedExpressionLength());
    }
    const std::string_view rest = std::string_view(fHTML).substr(restStart);
    const size_t listingLength = FindListingEnd(rest);
    if (listingLength == npos || listingLength == 0) return 0;
    int count = 0;
    fRegExQueryListings.SetSubject(std::string(rest.substr(0, listingLength)));
    for (bool found = fRegExQueryListings.Match(); found; found = fRegExQueryListings.MatchAgain()) {
        ReportAd(JoinedDate(fRegExQueryListings.SubExpressionView(1), fRegExQueryListings.SubExpressionView(2)),
                 fRegExQueryListings.SubExpressionView(3), fRegExQueryListings.SubExpressionView(4),
                 fRegExQueryListings.SubExpressionView(0));
        ++count;
    }
    return count;
}

int TCraigSiteResultsParser::ParseJsonSearch() {
    const TCraigJsonSearchAnswer answer = ReadCraigJsonSearch(fHTML);
    fContext.itemsSkipped = answer.itemsSkipped;
    if (!answer.problem.empty()) return 0;
    const TCraigAnswerContext& context = fContext;
    const std::string category = context.hasRequest ? context.request.category : "sss";
    int count = 0;
    TParsedResult result;  // kept from ad to ad: its strings keep their room
    for (const TCraigJsonAd& ad : answer.ads) {
        if (context.hasRequest && !context.request.JsonAdPasses(ad)) continue;
        result.pictures.clear();
        result.date.clear();
        result.localDateTime = 0;
        result.name = ad.title;
        result.link = CraigAdAddress(ad, category, context.domain);
        result.price = ad.price;
        SetPostedTime(result, ad.postedUnixTime);
        result.place = ad.place;
        result.hasGeo = ad.hasGeo;
        result.latitude = ad.latitude;
        result.longitude = ad.longitude;
        for (const std::string& id : ad.pictureIds) result.pictures.push_back(CraigPictureURL(id, true));
        result.hasImage = !ad.pictureIds.empty();
        result.imageUrl = result.hasImage ? CraigPictureURL(ad.pictureIds.front(), false) : std::string();
        ReportResult(result);
        ++count;
    }
    // The total says whether further batches hold anything.
    if (context.hasRequest && answer.totalResultCount <= static_cast<std::int64_t>(context.request.page) * cCraigBatchSize)
        fSearchLinkPagesOverflow = true;
    return count;
}

int TCraigSiteResultsParser::ParseSearchPage() {
    const TCraigSearchPage page = ReadCraigSearchPage(fHTML);
    fContext.itemsSkipped = page.itemsSkipped;
    const TCraigAnswerContext& context = fContext;
    int count = 0;
    for (const TCraigPageAd& ad : page.ads) {
        // The sub-area is in the page's address: the site chose its ads already.
        if (context.hasRequest && !context.request.AdPasses(ad.title, context.request.subArea, ad.place)) continue;
        TParsedResult result;
        result.name = ad.title;
        result.link = ad.link;
        result.price = ad.price;
        result.place = ad.place;
        result.hasGeo = ad.hasGeo;
        result.latitude = ad.latitude;
        result.longitude = ad.longitude;
        result.pictures = ad.pictures;
        result.hasImage = !ad.pictures.empty();
        if (result.hasImage) result.imageUrl = ad.pictures.front();
        ReportResult(result);
        ++count;
    }
    if (page.ads.empty() && context.hasRequest && context.request.page > 1) fSearchLinkPagesOverflow = true;
    return count;
}

}  // namespace trawlix
