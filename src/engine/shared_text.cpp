#include "engine/shared_text.h"

#include <functional>
#include <mutex>
#include <unordered_set>

namespace trawlix {

namespace {

struct TTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view aText) const { return std::hash<std::string_view>{}(aText); }
};

struct TSharedTexts {
    std::mutex fMutex;
    std::unordered_set<std::string, TTextHash, std::equal_to<>> fTexts;
};

TSharedTexts& Texts() {
    // Never destroyed: results freed by other static objects at exit may still hold texts.
    static TSharedTexts* texts = new TSharedTexts;
    return *texts;
}

}  // namespace

const std::string& SharedText(std::string_view aText) {
    static const std::string empty;
    if (aText.empty()) return empty;
    TSharedTexts& texts = Texts();
    std::lock_guard lock(texts.fMutex);
    auto found = texts.fTexts.find(aText);
    if (found == texts.fTexts.end()) found = texts.fTexts.emplace(aText).first;
    return *found;
}

}  // namespace trawlix
