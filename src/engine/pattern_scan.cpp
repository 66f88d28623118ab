#include "engine/pattern_scan.h"

#include <cstdint>
#include <cstring>

namespace trawlix {

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// 16 bytes compared at once, with the compiler's vector types (SSE2 or NEON, or plain code).
using TBytes16 = unsigned char __attribute__((vector_size(16)));

// Whether one of the 16 bytes at aData is aOne or aOther.
bool BlockHasEither(const char* aData, unsigned char aOne, unsigned char aOther) {
    TBytes16 block;
    std::memcpy(&block, aData, sizeof block);
    const TBytes16 hits = (block == aOne) | (block == aOther);
    uint64_t halves[2];
    std::memcpy(halves, &hits, sizeof halves);
    return (halves[0] | halves[1]) != 0;
}

// The Kelvin sign and the long s, which a caseless UTF-8 pattern takes for "k" and "s".
constexpr std::string_view kKelvinSign = "\xE2\x84\xAA";
constexpr std::string_view kLongS = "\xC5\xBF";

}  // namespace

size_t FindEither(std::string_view aText, char aOne, char aOther, size_t aFrom) {
    if (aOne == aOther) return aText.find(aOne, aFrom);
    size_t pos = aFrom;
    // Whole blocks without either byte are skipped; the block with one is searched bytewise.
    while (pos + 16 <= aText.size() && !BlockHasEither(aText.data() + pos, static_cast<unsigned char>(aOne),
                                                        static_cast<unsigned char>(aOther)))
        pos += 16;
    for (; pos < aText.size(); ++pos)
        if (aText[pos] == aOne || aText[pos] == aOther) return pos;
    return std::string_view::npos;
}

size_t Utf8CharLengthAt(std::string_view aText, size_t aPos) {
    auto byte = [&](size_t i) { return static_cast<unsigned char>(aText[i]); };
    const unsigned char lead = byte(aPos);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) secondMin = 0xA0;  // overlong
        if (lead == 0xED) secondMax = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) secondMin = 0x90;  // overlong
        if (lead == 0xF4) secondMax = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (aPos + length > aText.size()) return 0;
    if (byte(aPos + 1) < secondMin || byte(aPos + 1) > secondMax) return 0;
    for (size_t i = 2; i < length; ++i)
        if ((byte(aPos + i) & 0xC0) != 0x80) return 0;
    return length;
}

size_t SkipPatternBlanks(std::string_view aText, size_t aPos) {
    while (aPos < aText.size() && IsPatternBlank(aText[aPos])) ++aPos;
    return aPos;
}

size_t MatchCaselessAt(std::string_view aText, size_t aPos, std::string_view aLiteral) {
    for (const char wanted : aLiteral) {
        if (aPos >= aText.size()) return std::string_view::npos;
        const char lower = AsciiLower(wanted);
        if (AsciiLower(aText[aPos]) == lower) {
            ++aPos;
            continue;
        }
        const std::string_view partner = lower == 'k' ? kKelvinSign : lower == 's' ? kLongS : std::string_view();
        if (partner.empty() || aText.substr(aPos, partner.size()) != partner) return std::string_view::npos;
        aPos += partner.size();
    }
    return aPos;
}

size_t FindCaseless(std::string_view aText, std::string_view aLiteral, size_t aFrom, size_t& aEnd) {
    if (aLiteral.empty()) return std::string_view::npos;
    const char lower = AsciiLower(aLiteral[0]);
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    // Most candidates fail at their second byte, which is told apart here unless it may
    // be the first byte of a Unicode partner.
    const char second = aLiteral.size() > 1 ? AsciiLower(aLiteral[1]) : 0;
    const bool secondIsPlain = second != 0 && second != 'k' && second != 's';
    for (size_t pos = FindEither(aText, lower, upper, aFrom); pos != std::string_view::npos;
         pos = FindEither(aText, lower, upper, pos + 1)) {
        if (secondIsPlain && (pos + 1 >= aText.size() || AsciiLower(aText[pos + 1]) != second)) continue;
        aEnd = MatchCaselessAt(aText, pos, aLiteral);
        if (aEnd != std::string_view::npos) return pos;
    }
    return std::string_view::npos;
}

}  // namespace trawlix
