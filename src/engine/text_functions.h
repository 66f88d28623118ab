#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace trawlix {

// Small text helpers shared by the parsers, the link builders and the result entries.
// All texts are UTF-8; "character" below means a byte unless a function says otherwise.

// Every occurrence of aFrom replaced by aTo, left to right; the replacement is not searched
// again. An empty aFrom changes nothing.
std::string ReplaceAll(const std::string& aText, const std::string& aFrom, const std::string& aTo);
// Where aWhat first occurs from aFrom on, ASCII letters in any case; npos when nowhere.
size_t FindIgnoreCase(std::string_view aText, std::string_view aWhat, size_t aFrom = 0);
// ASCII letters lower-cased; every other byte (UTF-8 sequences included) stays.
std::string LowerCase(std::string aText);

// Removes the characters with codes up to 32 (spaces, line breaks, control codes) at both ends.
std::string Trim(const std::string& aText);

// The aWord-th word counted from the left, reading from the 1-based position aStartFrom.
// Words are separated by runs of aSeparator; a separator at the first position ends an empty
// first word. Empty when there are fewer words.
std::string ReadFromLeft(const std::string& aText, int aWord, const std::string& aSeparator, int aStartFrom = 1);
// The same counted from the right, reading leftwards from the 1-based position aStartFrom
// (0 = the last character). A trailing separator ends an empty first word, so word 2 of
// ".../eby/" is "eby".
std::string ReadFromRight(const std::string& aText, int aWord, const std::string& aSeparator, int aStartFrom = 0);

// The text between each ">" and the next "<" that opens a tag (one before a letter, "/",
// "!" or "?"), without LF and TAB, trimmed.
std::string ExtractDataTags(std::string_view aHtml);
// Digits and decimal marks of the text read as a number: "$ 12.50" -> 12.5, "1,500" -> 1.5;
// -1 when that is not a number.
double ExtractDouble(const std::string& aText);
// The first number of a price as US sites write it: a comma or point before exactly three
// digits groups thousands, a point before other digits marks cents. "$1,200" -> 1200,
// "$12,995.50" -> 12995.5, "$12.50" -> 12.5, "$1,250,000" -> 1250000; -1 without digits.
// Every parser reads its prices with it.
double ReadPrice(const std::string& aText);
// "." and "," both read as the decimal mark; raises on anything that is not a number.
double StrToFloatSafe(const std::string& aText);
double StrToFloatDefSafe(const std::string& aText, double aDefault);
// The same; false, leaving aValue as it was, when the text is not a number.
bool TryStrToFloatSafe(const std::string& aText, double& aValue);
// The digits of the text, in order.
std::string GetNumber(const std::string& aText);
// Every "yes" becomes "true" and every "no" "false", in any case.
std::string YesNoToTrueFalse(const std::string& aText);

// Appends the UTF-8 bytes of the code point aCode (at most U+10FFFF).
void AppendUtf8(std::string& aOut, uint32_t aCode);
// Decodes "&nbsp;", "&gt;", "&lt;", "&amp;", "&quot;", "&apos;" (in any case) and numeric
// entities ("&#39;", "&#x27;") in one pass, and drops the sites' stray "#0" markers.
std::string UnEscapeHTML(std::string_view aText);
std::string UnEscapeXML(const std::string& aText);
std::string EscapeHTML(const std::string& aText);
// Quotes and escapes a text for a JSON document; valid UTF-8 passes as it is, and bytes
// that are not (a search name typed in another charset) become U+FFFD, so the document
// stays valid.
std::string JsonString(const std::string& aText);
// The length of the valid UTF-8 sequence at aPos, 0 when the bytes there are not one.
size_t ValidUtf8SequenceAt(std::string_view aText, size_t aPos);
// At most aMaxBytes of aText, cut before a character rather than inside one.
std::string Utf8Prefix(const std::string& aText, size_t aMaxBytes);
// Percent-encodes every byte except A-Z a-z 0-9 "-" "." "_" (UTF-8 bytes one by one).
std::string URLEncode(const std::string& aText);
// Removes the first "&" + aParam... up to the next "&" (a prefix match on the name).
std::string RemoveURLParam(const std::string& aURL, const std::string& aParam);
std::string RemoveTags(const std::string& aText);
// Keeps only the characters 32 to 126.
std::string RemoveSpecialCharacters(const std::string& aText);
// Keeps only the characters below 126.
std::string RemoveErroneousCharacters(const std::string& aText);
// Each character's code (a Unicode code point) in decimal, at least three digits: "AB" -> "065066".
std::string EncodeASCII(const std::string& aText);
// Base64 of the text's bytes in the sites' alphabet, wrapped as "__" + code + "__".
std::string Encode64(const std::string& aText);
// Lower-case hexadecimal MD5 digest of the text's bytes.
std::string MD5(const std::string& aText);

// Splits a date like "Dec 12" into its letters and its day (1 when absent or not positive).
void DisassembleCraigsDate(const std::string& aDate, std::string& aMonth, int& aDay);
int CraigsMonthToInt(const std::string& aMonth);
std::string IntToCraigsMonth(int aMonth);
bool DateExists(int aMonth, int aDay);

}  // namespace trawlix
