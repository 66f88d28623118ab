#include "engine/text_functions.h"

#include "engine/pattern_scan.h"

#include <array>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <vector>

namespace trawlix {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoreCaseAt(std::string_view aText, size_t aPos, std::string_view aWhat) {
    if (aPos + aWhat.size() > aText.size()) return false;
    for (size_t i = 0; i < aWhat.size(); ++i)
        if (AsciiLower(aText[aPos + i]) != AsciiLower(aWhat[i])) return false;
    return true;
}

std::string ReplaceAllIgnoreCase(const std::string& aText, const std::string& aFrom, const std::string& aTo) {
    // Parsers call this for every ad, mostly on texts without a single candidate: jump from
    // one possible first character to the next instead of walking byte by byte.
    char lower = AsciiLower(aFrom[0]);
    char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    auto nextCandidate = [&](size_t aPos) {
        for (; aPos < aText.size(); ++aPos)
            if (aText[aPos] == lower || aText[aPos] == upper) return aPos;
        return std::string::npos;
    };
    size_t pos = nextCandidate(0);
    if (pos == std::string::npos) return aText;
    std::string result;
    result.reserve(aText.size());
    size_t copied = 0;
    while (pos != std::string::npos) {
        if (EqualsIgnoreCaseAt(aText, pos, aFrom)) {
            result.append(aText, copied, pos - copied) += aTo;
            copied = pos += aFrom.size();
        } else {
            ++pos;
        }
        pos = nextCandidate(pos);
    }
    return result.append(aText, copied, std::string::npos);
}

bool StartsWithAt(std::string_view aText, size_t aPos, std::string_view aWhat) {
    return aText.substr(aPos, aWhat.size()) == aWhat;
}

bool EndsWithAt(const std::string& aText, size_t aEnd, const std::string& aWhat) {
    return aEnd >= aWhat.size() && aText.compare(aEnd - aWhat.size(), aWhat.size(), aWhat) == 0;
}

// Words of the text separated by runs of aSeparator, from the left; a leading separator
// gives an empty first word, trailing separators give none.
std::vector<std::string> WordsFromLeft(const std::string& aText, const std::string& aSeparator) {
    std::vector<std::string> words;
    size_t pos = 0;
    if (StartsWithAt(aText, 0, aSeparator)) {
        words.emplace_back();
        while (StartsWithAt(aText, pos, aSeparator)) pos += aSeparator.size();
    }
    while (pos < aText.size()) {
        size_t end = aText.find(aSeparator, pos);
        if (end == std::string::npos) end = aText.size();
        words.push_back(aText.substr(pos, end - pos));
        pos = end;
        while (pos < aText.size() && StartsWithAt(aText, pos, aSeparator)) pos += aSeparator.size();
    }
    return words;
}

std::vector<std::string> WordsFromRight(const std::string& aText, const std::string& aSeparator) {
    std::vector<std::string> words;
    size_t end = aText.size();
    if (EndsWithAt(aText, end, aSeparator)) {
        words.emplace_back();
        while (EndsWithAt(aText, end, aSeparator)) end -= aSeparator.size();
    }
    while (end > 0) {
        size_t found = aText.rfind(aSeparator, end - 1);
        // rfind may find a separator overlapping the end; only one wholly before it counts.
        while (found != std::string::npos && found + aSeparator.size() > end)
            found = found == 0 ? std::string::npos : aText.rfind(aSeparator, found - 1);
        size_t begin = found == std::string::npos ? 0 : found + aSeparator.size();
        words.push_back(aText.substr(begin, end - begin));
        end = begin;
        while (end > 0 && EndsWithAt(aText, end, aSeparator)) end -= aSeparator.size();
    }
    return words;
}

// Decodes one UTF-8 character at aPos; a byte that does not start a valid sequence is
// taken as a character of its own with the byte's value.
uint32_t NextCodePoint(const std::string& aText, size_t& aPos) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(aText[i]); };
    unsigned char lead = byte(aPos);
    size_t length = lead < 0x80 ? 1 : lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length <= 1 || aPos + length > aText.size()) {
        ++aPos;
        return lead;
    }
    uint32_t code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(aPos + i) & 0xC0) != 0x80) {
            ++aPos;
            return lead;
        }
        code = (code << 6) | (byte(aPos + i) & 0x3F);
    }
    aPos += length;
    return code;
}

}  // namespace

size_t FindIgnoreCase(std::string_view aText, std::string_view aWhat, size_t aFrom) {
    if (aWhat.empty()) return aFrom <= aText.size() ? aFrom : std::string_view::npos;
    const char lower = AsciiLower(aWhat[0]);
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    for (size_t pos = FindEither(aText, lower, upper, aFrom); pos != std::string_view::npos;
         pos = FindEither(aText, lower, upper, pos + 1)) {
        if (aText.size() - pos < aWhat.size()) break;
        size_t i = 1;
        while (i < aWhat.size() && AsciiLower(aText[pos + i]) == AsciiLower(aWhat[i])) ++i;
        if (i == aWhat.size()) return pos;
    }
    return std::string_view::npos;
}

std::string Trim(const std::string& aText) {
    size_t begin = 0;
    size_t end = aText.size();
    while (begin < end && static_cast<unsigned char>(aText[begin]) <= ' ') ++begin;
    while (end > begin && static_cast<unsigned char>(aText[end - 1]) <= ' ') --end;
    return aText.substr(begin, end - begin);
}

std::string ReadFromLeft(const std::string& aText, int aWord, const std::string& aSeparator, int aStartFrom) {
    if (aWord < 1) return {};
    size_t from = aStartFrom > 1 ? static_cast<size_t>(aStartFrom) - 1 : 0;
    if (from >= aText.size()) return {};
    std::string text = aText.substr(from);
    if (aSeparator.empty()) return aWord == 1 ? text : std::string();
    auto words = WordsFromLeft(text, aSeparator);
    return static_cast<size_t>(aWord) <= words.size() ? words[aWord - 1] : std::string();
}

std::string ReadFromRight(const std::string& aText, int aWord, const std::string& aSeparator, int aStartFrom) {
    if (aWord < 1) return {};
    size_t length = aStartFrom > 0 ? std::min(aText.size(), static_cast<size_t>(aStartFrom)) : aText.size();
    std::string text = aText.substr(0, length);
    if (aSeparator.empty()) return aWord == 1 ? text : std::string();
    auto words = WordsFromRight(text, aSeparator);
    return static_cast<size_t>(aWord) <= words.size() ? words[aWord - 1] : std::string();
}

namespace {

// A "<" opens a tag only before a letter, "/", "!" or "?" (or at the very end), as browsers
// read it: "<3" and "< $100" in an ad's title are text.
bool StartsTag(std::string_view aHtml, size_t aPos) {
    if (aPos + 1 >= aHtml.size()) return true;
    const char next = aHtml[aPos + 1];
    return IsAsciiLetter(next) || next == '/' || next == '!' || next == '?';
}

// The digits from aPos on.
std::string DigitsAt(const std::string& aText, size_t aPos) {
    size_t end = aPos;
    while (end < aText.size() && IsDigit(aText[end])) ++end;
    return aText.substr(aPos, end - aPos);
}

}  // namespace

double ReadPrice(const std::string& aText) {
    size_t pos = 0;
    while (pos < aText.size() && !IsDigit(aText[pos])) ++pos;
    if (pos == aText.size()) return -1;
    std::string number = DigitsAt(aText, pos);
    pos += number.size();
    while (pos < aText.size() && (aText[pos] == ',' || aText[pos] == '.')) {
        const std::string group = DigitsAt(aText, pos + 1);
        if (group.size() == 3) {
            // "1,200" and "12.995": a separator before exactly three digits groups thousands.
            number += group;
        } else if (aText[pos] == '.' && !group.empty()) {
            // "12.50": a point before other digits marks the cents.
            number += "." + group;
            break;
        } else {
            break;
        }
        pos += 1 + group.size();
    }
    return StrToFloatDefSafe(number, -1);
}

namespace {
bool IsTagOrLineMark(char c) { return c == '>' || c == '<' || c == '\n' || c == '\t'; }
}  // namespace

std::string ExtractDataTags(std::string_view aHtml) {
    // Parsers call this for every title: runs of text are copied whole, and outside the
    // text only the next ">" matters.
    std::string result;
    result.reserve(aHtml.size());
    bool inText = false;
    for (size_t i = 0; i < aHtml.size(); ++i) {
        if (!inText) {
            i = aHtml.find('>', i);
            if (i == std::string::npos) break;
        }
        size_t runEnd = i;
        while (runEnd < aHtml.size() && !IsTagOrLineMark(aHtml[runEnd])) ++runEnd;
        result.append(aHtml, i, runEnd - i);
        i = runEnd;
        if (i == aHtml.size()) break;
        const char c = aHtml[i];
        if (c == '>')
            inText = i + 1 < aHtml.size();
        else if (c == '<' && StartsTag(aHtml, i))
            inText = false;
        else if (inText && c == '<')
            result += c;
    }
    // Trimmed in place: the text is usually a title that starts and ends with no blank.
    size_t end = result.size();
    while (end > 0 && static_cast<unsigned char>(result[end - 1]) <= ' ') --end;
    result.resize(end);
    size_t begin = 0;
    while (begin < end && static_cast<unsigned char>(result[begin]) <= ' ') ++begin;
    result.erase(0, begin);
    return result;
}

namespace {

// The number the text reads as, or nothing. Parsers ask this for every ad, most of them
// without a price, so a text that is not a number must not cost an exception.
std::optional<double> ParseFloat(const std::string& aText) {
    std::string text = Trim(aText);
    for (char& c : text)
        if (c == ',') c = '.';
    size_t begin = 0;
    if (!text.empty() && text[0] == '+') begin = 1;  // from_chars takes "-" only
    if (begin < text.size() && (text[begin] == '+' || text[begin] == '-') && begin == 1) return std::nullopt;
    for (size_t i = begin; i < text.size(); ++i)
        if (IsAsciiLetter(text[i]) && AsciiLower(text[i]) != 'e') return std::nullopt;  // no "inf", "nan", hex
    double value = 0;
    const char* first = text.data() + begin;
    const char* last = text.data() + text.size();
    auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last || first == last) return std::nullopt;
    return value;
}

}  // namespace

double StrToFloatSafe(const std::string& aText) {
    if (auto value = ParseFloat(aText)) return *value;
    throw std::invalid_argument("'" + aText + "' is not a valid floating point value");
}

double StrToFloatDefSafe(const std::string& aText, double aDefault) { return ParseFloat(aText).value_or(aDefault); }

double ExtractDouble(const std::string& aText) {
    std::string number;
    for (char c : aText) {
        if (IsDigit(c))
            number += c;
        else if (c == ',' || c == '.')
            number += '.';
    }
    return StrToFloatDefSafe(number, -1);
}

std::string GetNumber(const std::string& aText) {
    std::string digits;
    for (char c : aText)
        if (IsDigit(c)) digits += c;
    return digits;
}

std::string YesNoToTrueFalse(const std::string& aText) {
    return ReplaceAllIgnoreCase(ReplaceAllIgnoreCase(aText, "no", "false"), "yes", "true");
}

void AppendUtf8(std::string& aOut, uint32_t aCode) {
    if (aCode < 0x80) {
        aOut += static_cast<char>(aCode);
    } else if (aCode < 0x800) {
        aOut += static_cast<char>(0xC0 | (aCode >> 6));
        aOut += static_cast<char>(0x80 | (aCode & 0x3F));
    } else if (aCode < 0x10000) {
        aOut += static_cast<char>(0xE0 | (aCode >> 12));
        aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
        aOut += static_cast<char>(0x80 | (aCode & 0x3F));
    } else {
        aOut += static_cast<char>(0xF0 | (aCode >> 18));
        aOut += static_cast<char>(0x80 | ((aCode >> 12) & 0x3F));
        aOut += static_cast<char>(0x80 | ((aCode >> 6) & 0x3F));
        aOut += static_cast<char>(0x80 | (aCode & 0x3F));
    }
}

namespace {

// "&#39;" and "&#x27;": the character, or false for a number that names no character
// (a surrogate, zero, beyond Unicode), which is then left as written.
bool DecodeNumericEntity(std::string_view aBody, std::string& aOut) {
    const bool hex = aBody.size() > 1 && AsciiLower(aBody[1]) == 'x';
    const size_t digits = hex ? 2 : 1;
    if (aBody.size() <= digits || aBody.size() > digits + 8) return false;
    uint32_t code = 0;
    auto [end, ec] = std::from_chars(aBody.data() + digits, aBody.data() + aBody.size(), code, hex ? 16 : 10);
    if (ec != std::errc() || end != aBody.data() + aBody.size()) return false;
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    AppendUtf8(aOut, code);
    return true;
}

// The entity whose name (without "&" and ";") is aBody, appended to aOut; false when it is
// not one the sites use.
bool DecodeEntity(std::string_view aBody, std::string& aOut) {
    if (!aBody.empty() && aBody[0] == '#') return DecodeNumericEntity(aBody, aOut);
    static const std::pair<const char*, const char*> cNamed[] = {
        {"nbsp", " "}, {"gt", ">"}, {"lt", "<"}, {"amp", "&"}, {"quot", "\""}, {"apos", "'"}};
    for (const auto& [name, text] : cNamed)
        if (aBody.size() == std::char_traits<char>::length(name) && EqualsIgnoreCaseAt(aBody, 0, name)) {
            aOut += text;
            return true;
        }
    return false;
}

}  // namespace

std::string UnEscapeHTML(std::string_view aText) {
    // One pass, so that a decoded "&" never starts another entity: "&amp;lt;" is "&lt;".
    // Parsers call this three times per ad: the runs between "&" and "#" are copied whole.
    constexpr size_t cLongestEntity = 12;
    std::string result;
    result.reserve(aText.size());
    size_t copied = 0;
    for (size_t i = FindEither(aText, '&', '#', 0); i != std::string::npos; i = FindEither(aText, '&', '#', i)) {
        if (aText[i] == '&') {
            result.append(aText, copied, i - copied);
            const size_t semicolon = aText.find(';', i + 1);
            if (semicolon != std::string::npos && semicolon - i <= cLongestEntity &&
                DecodeEntity(aText.substr(i + 1, semicolon - i - 1), result)) {
                i = semicolon + 1;
            } else {
                result += '&';
                ++i;
            }
            copied = i;
        } else if (StartsWithAt(aText, i, "#0")) {
            // The sites' stray "#0" markers never belong to the text.
            result.append(aText, copied, i - copied);
            copied = i += 2;
        } else {
            ++i;
        }
    }
    return result.append(aText, copied, std::string::npos);
}

std::string UnEscapeXML(const std::string& aText) {
    std::string text = ReplaceAllIgnoreCase(aText, "&#38;", "&");
    text = ReplaceAllIgnoreCase(text, "&#60;", "<");
    text = ReplaceAllIgnoreCase(text, "&#62;", ">");
    text = ReplaceAllIgnoreCase(text, "&#34;", "\"");
    text = ReplaceAllIgnoreCase(text, "&#39;", "'");
    return ReplaceAllIgnoreCase(text, "&#x9;", "\t");
}

std::string EscapeHTML(const std::string& aText) {
    std::string result;
    result.reserve(aText.size());
    for (char c : aText) {
        switch (c) {
            case '&': result += "&amp;"; break;
            case '<': result += "&lt;"; break;
            case '>': result += "&gt;"; break;
            default: result += c;
        }
    }
    return result;
}

size_t ValidUtf8SequenceAt(std::string_view aText, size_t aPos) {
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(aText[i]); };
    const unsigned char lead = byteAt(aPos);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
    else return 0;
    if (aPos + length > aText.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((byteAt(aPos + i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byteAt(aPos + i) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not characters.
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return length;
}

std::string Utf8Prefix(const std::string& aText, size_t aMaxBytes) {
    if (aText.size() <= aMaxBytes) return aText;
    size_t end = aMaxBytes;
    // Back to the start of the character the limit falls in.
    while (end > 0 && (static_cast<unsigned char>(aText[end]) & 0xC0) == 0x80) --end;
    return aText.substr(0, end);
}

std::string JsonString(const std::string& aText) {
    std::string out = "\"";
    for (size_t i = 0; i < aText.size(); ++i) {
        const char c = aText[i];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            const size_t length = ValidUtf8SequenceAt(aText, i);
            if (length == 0) {
                out += "\xEF\xBF\xBD";  // U+FFFD
            } else {
                out.append(aText, i, length);
                i += length - 1;
            }
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string URLEncode(const std::string& aText) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(aText.size() * 3);
    for (char c : aText) {
        if (IsAsciiLetter(c) || IsDigit(c) || c == '-' || c == '.' || c == '_') {
            result += c;
        } else {
            auto byte = static_cast<unsigned char>(c);
            result += '%';
            result += kHex[byte >> 4];
            result += kHex[byte & 0x0F];
        }
    }
    return result;
}

std::string RemoveURLParam(const std::string& aURL, const std::string& aParam) {
    size_t begin = aURL.find("&" + aParam);
    if (begin == std::string::npos) return aURL;
    size_t end = aURL.find('&', begin + 1);
    return aURL.substr(0, begin) + (end == std::string::npos ? std::string() : aURL.substr(end));
}

std::string RemoveTags(const std::string& aText) {
    // The same as replacing every lazy "<.*?>" match: a "<" with no ">" after it stays.
    std::string result;
    result.reserve(aText.size());
    size_t pos = 0;
    while (pos < aText.size()) {
        size_t open = aText.find('<', pos);
        size_t close = open == std::string::npos ? std::string::npos : aText.find('>', open + 1);
        if (close == std::string::npos) {
            result.append(aText, pos, std::string::npos);
            break;
        }
        result.append(aText, pos, open - pos);
        pos = close + 1;
    }
    return result;
}

std::string RemoveSpecialCharacters(const std::string& aText) {
    std::string result;
    for (char c : aText) {
        auto code = static_cast<unsigned char>(c);
        if (code >= 32 && code <= 126) result += c;
    }
    return result;
}

std::string RemoveErroneousCharacters(const std::string& aText) {
    std::string result;
    for (char c : aText)
        if (static_cast<unsigned char>(c) < 126) result += c;
    return result;
}

std::string EncodeASCII(const std::string& aText) {
    std::string result;
    size_t pos = 0;
    while (pos < aText.size()) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%03u", static_cast<unsigned>(NextCodePoint(aText, pos)));
        result += buffer;
    }
    return result;
}

std::string Encode64(const std::string& aText) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-,";
    constexpr char kFill = kAlphabet[64];
    if (aText.empty()) return {};
    if (aText.size() >= 5 && aText.starts_with("__") && aText.ends_with("__")) return aText;
    std::string code;
    for (size_t i = 0; i < aText.size(); i += 3) {
        uint32_t chunk = static_cast<unsigned char>(aText[i]) << 16;
        if (i + 1 < aText.size()) chunk |= static_cast<unsigned char>(aText[i + 1]) << 8;
        if (i + 2 < aText.size()) chunk |= static_cast<unsigned char>(aText[i + 2]);
        code += kAlphabet[(chunk >> 18) & 0x3F];
        code += kAlphabet[(chunk >> 12) & 0x3F];
        code += i + 1 < aText.size() ? kAlphabet[(chunk >> 6) & 0x3F] : kFill;
        code += i + 2 < aText.size() ? kAlphabet[chunk & 0x3F] : kFill;
    }
    return "__" + code + "__";
}

std::string MD5(const std::string& aText) {
    static const uint32_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    static const auto kSine = [] {
        std::array<uint32_t, 64> table{};
        for (int i = 0; i < 64; ++i) table[i] = static_cast<uint32_t>(std::abs(std::sin(i + 1.0)) * 4294967296.0);
        return table;
    }();
    std::string message = aText;
    uint64_t bitLength = static_cast<uint64_t>(aText.size()) * 8;
    message += static_cast<char>(0x80);
    while (message.size() % 64 != 56) message += '\0';
    for (int i = 0; i < 8; ++i) message += static_cast<char>((bitLength >> (8 * i)) & 0xFF);

    uint32_t state[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    auto rotl = [](uint32_t x, uint32_t c) { return (x << c) | (x >> (32 - c)); };
    for (size_t block = 0; block < message.size(); block += 64) {
        uint32_t words[16];
        for (int i = 0; i < 16; ++i) {
            words[i] = 0;
            for (int b = 0; b < 4; ++b)
                words[i] |= static_cast<uint32_t>(static_cast<unsigned char>(message[block + 4 * i + b])) << (8 * b);
        }
        uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
        for (uint32_t i = 0; i < 64; ++i) {
            uint32_t f, g;
            if (i < 16) {
                f = (b & c) | (~b & d);
                g = i;
            } else if (i < 32) {
                f = (d & b) | (~d & c);
                g = (5 * i + 1) % 16;
            } else if (i < 48) {
                f = b ^ c ^ d;
                g = (3 * i + 5) % 16;
            } else {
                f = c ^ (b | ~d);
                g = (7 * i) % 16;
            }
            uint32_t next = d;
            d = c;
            c = b;
            b = b + rotl(a + f + kSine[i] + words[g], kShift[i]);
            a = next;
        }
        state[0] += a;
        state[1] += b;
        state[2] += c;
        state[3] += d;
    }
    std::string hex;
    char buffer[3];
    for (uint32_t word : state)
        for (int i = 0; i < 4; ++i) {
            std::snprintf(buffer, sizeof buffer, "%02x", (word >> (8 * i)) & 0xFF);
            hex += buffer;
        }
    return hex;
}

void DisassembleCraigsDate(const std::string& aDate, std::string& aMonth, int& aDay) {
    aMonth.clear();
    std::string digits;
    for (char c : aDate) {
        if (IsAsciiLetter(c)) aMonth += c;
        if (IsDigit(c)) digits += c;
    }
    int day = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), day);
    aDay = (ec == std::errc() && day > 0) ? day : 1;
}

int CraigsMonthToInt(const std::string& aMonth) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string month;
    for (char c : aMonth) month += AsciiLower(c);
    if (!month.empty() && month[0] >= 'a' && month[0] <= 'z') month[0] = static_cast<char>(month[0] - 'a' + 'A');
    for (int i = 0; i < 12; ++i)
        if (month == kMonths[i]) return i + 1;
    return 1;
}

std::string IntToCraigsMonth(int aMonth) {
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    return (aMonth >= 1 && aMonth <= 12) ? kMonths[aMonth - 1] : "Jan";
}

bool DateExists(int aMonth, int aDay) {
    int length = 31;
    if (aMonth == 2)
        length = 29;
    else if (aMonth == 4 || aMonth == 6 || aMonth == 9 || aMonth == 11)
        length = 30;
    return aDay <= length;
}

std::string ReplaceAll(const std::string& aText, const std::string& aFrom, const std::string& aTo) {
    if (aFrom.empty()) return aText;
    std::string result;
    size_t pos = 0;
    for (size_t hit = aText.find(aFrom); hit != std::string::npos; hit = aText.find(aFrom, pos)) {
        result.append(aText, pos, hit - pos).append(aTo);
        pos = hit + aFrom.size();
    }
    return result.append(aText, pos, std::string::npos);
}

std::string LowerCase(std::string aText) {
    for (char& c : aText) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return aText;
}

bool TryStrToFloatSafe(const std::string& aText, double& aValue) {
    auto value = ParseFloat(aText);
    if (value) aValue = *value;
    return value.has_value();
}

}  // namespace trawlix
