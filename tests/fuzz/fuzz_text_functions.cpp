// The text functions and posting scrapers on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/posting_scrapers.h"
#include "engine/text_functions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    using namespace trawlix;
    std::string text(reinterpret_cast<const char*>(aData), aSize);
    std::string separator = aSize > 0 ? text.substr(0, 1 + aData[0] % 2) : " ";
    int word = aSize > 1 ? aData[1] % 5 : 1;
    int start = aSize > 2 ? aData[2] % 8 : 0;
    ReadFromLeft(text, word, separator, start);
    ReadFromRight(text, word, separator, start);
    ExtractDataTags(text);
    ExtractDouble(text);
    ReadPrice(text);
    StrToFloatDefSafe(text, -1);
    GetNumber(text);
    YesNoToTrueFalse(text);
    // Decoding drops every "#0", so only texts without one come back unchanged.
    if (text.find("#0") == std::string::npos && UnEscapeHTML(EscapeHTML(text)) != text) __builtin_trap();
    UnEscapeXML(text);
    URLEncode(text);
    RemoveURLParam(text, separator);
    if (RemoveTags(text).size() > text.size()) __builtin_trap();
    RemoveSpecialCharacters(text);
    RemoveErrorousCharacters(text);
    EncodeASCII(text);
    Encode64(text);
    MD5(text);
    std::string month;
    int day = 0;
    DisassambleCraigsDate(text, month, day);
    if (day < 1) __builtin_trap();
    CraigsMonthToInt(month);
    for (auto source : {TPostingSource::NoEntry, TPostingSource::Craigslist}) {
        GetEntryEmail(source, text);
        GetEntryDescription(source, text);
        GetEntryImageURLs(source, text);
    }
    return 0;
}
