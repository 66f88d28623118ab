#pragma once

#include <cstddef>
#include <string_view>

namespace trawlix {

// Pieces for the parsers' hot paths, written out by hand where a TCRegEx pattern cost too
// much per ad. They read text the way those patterns did (PCRE2, UTF-8 mode, caseless), so
// that a parser gives the same results with or without them:
// - a byte that starts no valid UTF-8 character matches nothing, so a match never spans it;
// - caseless letters are ASCII letters in any case, and "k" and "s" also match the Kelvin
//   sign (U+212A) and the long s (U+017F), their other Unicode case partners;
// - a blank ("\s") is space, tab, line feed, vertical tab, form feed or return.

inline bool IsPatternBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
inline bool IsPatternDigit(char c) { return c >= '0' && c <= '9'; }

// The first of the two bytes from aFrom on; npos when neither occurs.
size_t FindEither(std::string_view aText, char aOne, char aOther, size_t aFrom);
// The length of the valid UTF-8 character at aPos (1 for ASCII), 0 when the byte there
// starts none.
size_t Utf8CharLengthAt(std::string_view aText, size_t aPos);
// The first position from aPos on that is not a blank.
size_t SkipPatternBlanks(std::string_view aText, size_t aPos);
// Where aLiteral (ASCII) matched caselessly at aPos ends; npos when it does not match there.
size_t MatchCaselessAt(std::string_view aText, size_t aPos, std::string_view aLiteral);
// Where aLiteral (ASCII, not starting with "k" or "s") next matches caselessly from aFrom on;
// npos when nowhere. aEnd receives the end of that match.
size_t FindCaseless(std::string_view aText, std::string_view aLiteral, size_t aFrom, size_t& aEnd);

}  // namespace trawlix
