#pragma once

// A map file of the map view: the visible picture and the region picture (two BMP files
// one after the other) followed by the property text, whose lines give each region colour
// its place, the rectangles holding its pixels, its name and its more detailed map.

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace trawlix {

// A map file that cannot be read; the message names the file and the reason.
class EMapFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A rectangle of a region, in pixels, bounds included.
struct TRange {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;

    bool Contains(int aX, int aY) const { return aX >= Left && aX <= Right && aY >= Top && aY <= Bottom; }
    bool operator==(const TRange&) const = default;
};

struct TColorMapItem {
    int Color = -1;        // red + green * 256 + blue * 65536, as a pixel of the region picture reads
    int LocationID = -1;   // a place id; -1 when none
    std::vector<TRange> Ranges;
    std::string Hint;      // the region's name
    std::string Map;       // the more detailed map's file name, or empty
    bool Selected = false;
};

// The region colour of a pixel's red, green and blue.
constexpr int RegionColor(int aRed, int aGreen, int aBlue) { return aRed + aGreen * 256 + aBlue * 65536; }

// The colour table of a map: one item per region colour, in the order first named.
class TColorMap {
public:
    // Linear, as the table is small (a few dozen regions); null when absent.
    TColorMapItem* GetItemByColor(int aColor) const;

    void SetLocation(int aColor, int aLocationID) { ItemFor(aColor).LocationID = aLocationID; }
    void SetRange(int aColor, const TRange& aRange) { ItemFor(aColor).Ranges.push_back(aRange); }
    void SetHint(int aColor, const std::string& aHint) { ItemFor(aColor).Hint = aHint; }
    void SetMap(int aColor, const std::string& aMap) { ItemFor(aColor).Map = aMap; }

    const std::vector<std::unique_ptr<TColorMapItem>>& GetItems() const { return fItems; }
    int Count() const { return static_cast<int>(fItems.size()); }

private:
    TColorMapItem& ItemFor(int aColor);

    std::vector<std::unique_ptr<TColorMapItem>> fItems;
};

// The three pieces of a map file, the pictures still encoded.
struct TMapFileParts {
    std::string VisibleLayer;
    std::string AlphaLayer;
    std::string Properties;
};

// Splits a map file's bytes; aFileName only names it in errors.
TMapFileParts SplitMapFile(const std::string& aBytes, const std::string& aFileName);
// Reads and splits a map file; a missing or unreadable file raises EMapFileError.
TMapFileParts ReadMapFile(const std::filesystem::path& aFileName);

// Reads the property text into aColorMap and answers the parent map's file name (empty
// when there is none). Lines that do not match a pattern are ignored; so is a hint,
// sub-map or parent-map line without its line end.
std::string ParseProperties(const std::string& aText, TColorMap& aColorMap);

// The start map of the map view.
inline constexpr const char* cStartMapFile = "usa.cur";

}  // namespace trawlix
