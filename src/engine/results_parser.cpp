#include "engine/results_parser.h"

#include <exception>
#include <optional>
#include <string_view>

#include "engine/pattern_scan.h"
#include "engine/text_functions.h"

namespace trawlix {

TBaseResultsParser::TBaseResultsParser() = default;

int TBaseResultsParser::ParseRSS() { return ParseRSSRE(); }

int TBaseResultsParser::Parse() { return ParseRSS(); }

void TBaseResultsParser::ReportResult(const TParsedResult& aResult) {
    if (fOnResultParsed) fOnResultParsed(aResult);
}

int TBaseResultsParser::ParseRSSRE() {
    if (fHTML.empty()) return 0;
    int count = 0;
    try {
        std::string_view itemText;
        for (size_t pos = 0; NextFeedItem(pos, itemText);)
            if (ParseFeedItem(itemText)) ++count;
    } catch (const std::exception&) {
        // A broken page ends the parse; what was found so far stands.
    }
    return count;
}

// The text of the next "<item>...</item>" from aPos on, without the blanks at its ends,
// in any case of the tags; aPos moves past it. False when no closed item follows.
bool TBaseResultsParser::NextFeedItem(size_t& aPos, std::string_view& aItemText) const {
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
    aItemText = std::string_view(fHTML).substr(begin, end - begin);
    aPos = close + cClose.size();
    return true;
}

namespace {

// A field of a feed item: what the pattern
// "<tag>\s*?(<!\[CDATA\[)?\s*?(.*?)\s*(\]\]>)?\s*?</tag>" (caseless, "." taking line breaks)
// found, the item's first field that is closed. The feeds' own blanks and CDATA wrappers
// stay where that pattern left them: blanks before "<![CDATA[" keep it in the value.
struct TFeedField {
    bool inCData = false;
    std::string_view value;
};

// Whether the field's end (blanks, an optional "]]>", blanks, the closing tag) starts at aPos.
bool FeedFieldEndsAt(std::string_view aItem, size_t aPos, std::string_view aCloseTag) {
    size_t pos = SkipPatternBlanks(aItem, aPos);
    const size_t afterCData = MatchCaselessAt(aItem, pos, "]]>");
    if (afterCData != std::string_view::npos) pos = SkipPatternBlanks(aItem, afterCData);
    return MatchCaselessAt(aItem, pos, aCloseTag) != std::string_view::npos;
}

std::optional<TFeedField> FindFeedField(std::string_view aItem, std::string_view aOpenTag,
                                        std::string_view aCloseTag) {
    size_t openEnd = 0;
    for (size_t open = FindCaseless(aItem, aOpenTag, 0, openEnd); open != std::string_view::npos;) {
        TFeedField field;
        size_t begin = openEnd;
        const size_t cdataEnd = MatchCaselessAt(aItem, begin, "<![CDATA[");
        if (cdataEnd != std::string_view::npos) {
            field.inCData = true;
            begin = cdataEnd;
        }
        // The value is the shortest run of characters that the end follows; a byte that
        // starts no character stops it.
        size_t pos = begin;
        while (pos < aItem.size()) {
            const char c = aItem[pos];
            if ((IsPatternBlank(c) || c == ']' || c == '<') && FeedFieldEndsAt(aItem, pos, aCloseTag)) {
                field.value = aItem.substr(begin, pos - begin);
                return field;
            }
            const size_t length = static_cast<unsigned char>(c) < 0x80 ? 1 : Utf8CharLengthAt(aItem, pos);
            if (length == 0) break;
            pos += length;
        }
        // A later opening tag before pos meets the same stop without an end.
        if (pos >= aItem.size()) break;
        open = FindCaseless(aItem, aOpenTag, pos, openEnd);
    }
    return std::nullopt;
}

std::string FieldOfItem(std::string_view aItem, std::string_view aOpenTag, std::string_view aCloseTag) {
    const auto field = FindFeedField(aItem, aOpenTag, aCloseTag);
    return field ? std::string(field->value) : std::string();
}

// The item's link with its entities decoded, unless the feed wrote it in a CDATA block,
// where "&" is literal.
std::string FeedLink(std::string_view aItem) {
    const auto field = FindFeedField(aItem, "<link>", "</link>");
    if (!field) return {};
    std::string link = Trim(std::string(field->value));
    return field->inCData ? link : UnEscapeHTML(link);
}

// "Mon, 12 Dec 2011 10:15:00 -0800" gives "Dec 12": what the pattern "(\d+)\s+(.+?)\s"
// reads, its second group, a blank and its first. False when it finds nothing.
bool FeedDate(std::string_view aPubDate, std::string& aDate) {
    const size_t size = aPubDate.size();
    size_t start = 0;
    while (start < size) {
        if (!IsPatternDigit(aPubDate[start])) {
            ++start;
            continue;
        }
        size_t digitsEnd = start;
        while (digitsEnd < size && IsPatternDigit(aPubDate[digitsEnd])) ++digitsEnd;
        const size_t word = SkipPatternBlanks(aPubDate, digitsEnd);
        const size_t blanks = word - digitsEnd;
        if (blanks == 0) {
            start = digitsEnd;
            continue;
        }
        // The shortest run of at least one character up to a blank, after all the blanks.
        size_t pos = word;
        size_t wordEnd = std::string_view::npos;
        bool first = true;
        while (pos < size) {
            if (!first && IsPatternBlank(aPubDate[pos])) {
                wordEnd = pos;
                break;
            }
            const size_t length = Utf8CharLengthAt(aPubDate, pos);
            if (length == 0) break;
            pos += length;
            first = false;
        }
        std::string_view dayWord;
        if (wordEnd != std::string_view::npos) {
            dayWord = aPubDate.substr(word, wordEnd - word);
        } else if (blanks >= 3) {
            // No blank follows the word: the pattern gives back blanks (keeping one after
            // the digits) until a blank stands as the word, followed by another blank.
            dayWord = aPubDate.substr(word - 2, 1);
        } else {
            // Later starts up to pos meet the same stop.
            start = pos + 1;
            continue;
        }
        aDate.assign(dayWord);
        aDate += ' ';
        aDate.append(aPubDate.substr(start, digitsEnd - start));
        return true;
    }
    return false;
}

// The number after the title's first "$" that has one ("$ 1,200" gives "1,200"), as the
// pattern "\$\s*([\d\.,]+)" reads it; empty when none.
std::string_view FeedPriceText(std::string_view aTitle) {
    for (size_t dollar = aTitle.find('$'); dollar != std::string_view::npos; dollar = aTitle.find('$', dollar + 1)) {
        const size_t begin = SkipPatternBlanks(aTitle, dollar + 1);
        size_t end = begin;
        while (end < aTitle.size() && (IsPatternDigit(aTitle[end]) || aTitle[end] == '.' || aTitle[end] == ','))
            ++end;
        if (end > begin) return aTitle.substr(begin, end - begin);
    }
    return {};
}

}  // namespace

bool TBaseResultsParser::ParseFeedItem(std::string_view aItemText) {
    TParsedResult result;
    result.name = FieldOfItem(aItemText, "<title>", "</title>");
    const std::string pubDate = FieldOfItem(aItemText, "<pubDate>", "</pubDate>");
    result.link = FeedLink(aItemText);
    result.description = FieldOfItem(aItemText, "<description>", "</description>");
    // An item without a day is dropped.
    if (!FeedDate(pubDate, result.date)) return false;
    result.price = ReadPrice(std::string(FeedPriceText(result.name)));
    result.hasImage = true;
    ReportResult(result);
    return true;
}

}  // namespace trawlix
