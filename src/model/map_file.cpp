#include "model/map_file.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "engine/regex.h"

namespace trawlix {

TColorMapItem* TColorMap::GetItemByColor(int aColor) const {
    for (const auto& item : fItems)
        if (item->Color == aColor) return item.get();
    return nullptr;
}

TColorMapItem& TColorMap::ItemFor(int aColor) {
    if (TColorMapItem* item = GetItemByColor(aColor)) return *item;
    auto item = std::make_unique<TColorMapItem>();
    item->Color = aColor;
    fItems.push_back(std::move(item));
    return *fItems.back();
}

namespace {

// Smallest BMP: the file header (14 bytes) and the oldest info header (12 bytes).
constexpr size_t kSmallestBmp = 26;

// The length of the BMP file starting at aOffset, as its file header states it.
size_t BmpLength(const std::string& aBytes, size_t aOffset, const std::string& aFileName, const char* aWhich) {
    const auto fail = [&](const std::string& aWhy) {
        return EMapFileError("Cannot read the map file " + aFileName + ": the " + aWhich + " " + aWhy);
    };
    if (aBytes.size() - aOffset < kSmallestBmp) throw fail("is missing or cut short");
    if (aBytes[aOffset] != 'B' || aBytes[aOffset + 1] != 'M') throw fail("is not a BMP picture");
    uint8_t size[4];
    std::memcpy(size, aBytes.data() + aOffset + 2, 4);
    const size_t length = size[0] | size[1] << 8 | size[2] << 16 | static_cast<size_t>(size[3]) << 24;
    if (length < kSmallestBmp || length > aBytes.size() - aOffset) throw fail("is cut short");
    return length;
}

std::optional<int> Number(const std::string& aText) {
    int value = 0;
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), value);
    if (ec != std::errc() || end != aText.data() + aText.size()) return std::nullopt;
    return value;
}

// Calls aOnMatch for every match of aPattern in aText with the numbers of its first
// aNumbers groups; a match whose numbers do not fit an int is skipped.
template <typename OnMatch>
void ForEachMatch(const std::string& aText, const char* aPattern, int aNumbers, OnMatch aOnMatch) {
    TCRegEx regex(aPattern, preCaseLess);
    regex.SetSubject(aText);
    for (bool found = regex.Match(); found; found = regex.MatchAgain()) {
        std::vector<int> numbers;
        for (int group = 1; group <= aNumbers; ++group) {
            auto number = Number(regex.SubExpressions(group));
            if (!number) break;
            numbers.push_back(*number);
        }
        if (static_cast<int>(numbers.size()) != aNumbers) continue;
        aOnMatch(numbers, regex);
    }
}

int ColorOf(const std::vector<int>& aNumbers) { return RegionColor(aNumbers[0], aNumbers[1], aNumbers[2]); }

}  // namespace

TMapFileParts SplitMapFile(const std::string& aBytes, const std::string& aFileName) {
    TMapFileParts parts;
    const size_t visibleLength = BmpLength(aBytes, 0, aFileName, "visible picture");
    const size_t alphaLength = BmpLength(aBytes, visibleLength, aFileName, "region picture");
    parts.VisibleLayer = aBytes.substr(0, visibleLength);
    parts.AlphaLayer = aBytes.substr(visibleLength, alphaLength);
    parts.Properties = aBytes.substr(visibleLength + alphaLength);
    return parts;
}

TMapFileParts ReadMapFile(const std::filesystem::path& aFileName) {
    std::ifstream in(aFileName, std::ios::binary);
    if (!in) throw EMapFileError("Cannot read the map file " + aFileName.string() + ": " + std::strerror(errno));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) throw EMapFileError("Cannot read the map file " + aFileName.string() + ": read error");
    return SplitMapFile(bytes.str(), aFileName.string());
}

std::string ParseProperties(const std::string& aText, TColorMap& aColorMap) {
    std::string parentMap;
    TCRegEx parent("\\s*parent_map\\s*=(.*)\\r\\n", preCaseLess);
    parent.SetSubject(aText);
    if (parent.Match()) parentMap = parent.SubExpressions(1);

    ForEachMatch(aText, "\\s*id\\((\\d+)\\,(\\d+)\\,(\\d+)\\)\\s*=\\s*(\\d+)", 4,
                 [&](const std::vector<int>& n, TCRegEx&) { aColorMap.SetLocation(ColorOf(n), n[3]); });
    ForEachMatch(aText,
                 "\\s*range\\((\\d+)\\,(\\d+)\\,(\\d+)\\)\\s*=\\s*\\((\\d+)\\,(\\d+)\\,(\\d+)\\,(\\d+)\\)", 7,
                 [&](const std::vector<int>& n, TCRegEx&) {
                     aColorMap.SetRange(ColorOf(n), TRange{n[3], n[4], n[5], n[6]});
                 });
    ForEachMatch(aText, "\\s*hint\\((\\d+)\\,(\\d+)\\,(\\d+)\\)\\s*=(.*)\\r\\n", 3,
                 [&](const std::vector<int>& n, TCRegEx& aMatch) { aColorMap.SetHint(ColorOf(n), aMatch.SubExpressions(4)); });
    ForEachMatch(aText, "\\s*map\\((\\d+)\\,(\\d+)\\,(\\d+)\\)\\s*=(.*)\\r\\n", 3,
                 [&](const std::vector<int>& n, TCRegEx& aMatch) { aColorMap.SetMap(ColorOf(n), aMatch.SubExpressions(4)); });
    return parentMap;
}

}  // namespace trawlix
