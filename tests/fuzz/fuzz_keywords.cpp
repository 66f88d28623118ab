// Cleaning a keyword line and the operator buttons on arbitrary text and selections.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/keyword_syntax.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* aData, size_t aSize) {
    using namespace trawlix;
    std::string text(reinterpret_cast<const char*>(aData), aSize);
    std::string cleaned = ValidateKeywords(text);
    if (ValidateKeywords(cleaned) != cleaned) __builtin_trap();  // cleaning twice changes nothing
    if (cleaned.find('\n') != std::string::npos || cleaned.find('\r') != std::string::npos) __builtin_trap();
    PhraseWithOrWarningApplies(cleaned);
    ReplaceQuotesWithBrackets(text);
    TKeywordEdit edit{text, aSize > 0 ? aData[0] : 0u, aSize > 1 ? aData[1] : 0u};
    for (auto button : {ApplyOrOperator, ApplyNotOperator, ApplyPhraseOperator, ApplyGroupOperator}) {
        TKeywordEdit after = button(edit);
        if (after.selStart > after.text.size()) __builtin_trap();
    }
    TKeywordPattern pattern{text, text, text, "", text, text};
    BuildKeywordsFromPattern(pattern);
    return 0;
}
