// The maps drawn by the build from the public shapes: every region colour of a picture has
// its lines, and its ranges hold all of its pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "draw/map.h"
#include "model/places.h"
#include "support/test_support.h"

using namespace trawlix;

namespace {

const std::filesystem::path kMapsFolder = TRAWLIX_BUILD_MAPS_DIR;

struct MapCheck {
    int regions = 0;
    std::set<int> colorsWithoutLines;
    std::set<int> colorsOutsideTheirRanges;
};

MapCheck CheckPixels(const TMap& aMap) {
    MapCheck check;
    const QImage& picture = aMap.GetAlphaLayer();
    std::set<int> colors;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb pixel = picture.pixel(x, y);
            const int color = RegionColor(qRed(pixel), qGreen(pixel), qBlue(pixel));
            if (color == 0) continue;  // the sea and the land around the regions
            colors.insert(color);
            const TColorMapItem* item = aMap.GetColorMap().GetItemByColor(color);
            if (!item) {
                check.colorsWithoutLines.insert(color);
                continue;
            }
            bool inside = false;
            for (const TRange& range : item->Ranges) inside = inside || range.Contains(x, y);
            if (!inside) check.colorsOutsideTheirRanges.insert(color);
        }
    }
    check.regions = static_cast<int>(colors.size());
    return check;
}

// The sea's colour in the visible pictures.
const QRgb kWater = qRgb(178, 214, 230);

// For each column in the left part of the named region (aFrom to aTo of its width), whether
// the pixel a little below its lowest pixel is drawn as sea.
std::vector<bool> SeaBelowRegion(const TMap& aMap, const std::string& aHint, double aFrom, double aTo) {
    const QImage& regions = aMap.GetAlphaLayer();
    const QImage visible = aMap.GetVisibleLayer().convertToFormat(QImage::Format_RGB32);
    std::map<int, int> lowest;  // column -> lowest row of the region
    for (int y = 0; y < regions.height(); ++y)
        for (int x = 0; x < regions.width(); ++x) {
            const QRgb pixel = regions.pixel(x, y);
            const TColorMapItem* item =
                aMap.GetColorMap().GetItemByColor(RegionColor(qRed(pixel), qGreen(pixel), qBlue(pixel)));
            if (item && item->Hint == aHint) lowest[x] = y;
        }
    std::vector<bool> sea;
    if (lowest.empty()) return sea;
    const int left = lowest.begin()->first;
    const int width = lowest.rbegin()->first - left;
    for (const auto& [x, y] : lowest)
        if (x >= left + aFrom * width && x <= left + aTo * width && y + 3 < visible.height())
            sea.push_back((visible.pixel(x, y + 3) & 0xFFFFFF) == (kWater & 0xFFFFFF));
    return sea;
}

}  // namespace

// Mexico is land: south of the Rio Grande lies no sea, on the map of the states and on Texas's.
// The Gulf coast stays sea.
TEST(GeneratedMaps, MexicoIsDrawnAsLandAndTheGulfAsSea) {
    TPlaces places(trawlix::test::SourceDataDir().string() + "/Places.cur");
    struct TCase {
        std::string file;
        std::string region;
    } cases[] = {{cStartMapFile, "Texas"}, {"texas.cur", "el paso, TX"}, {"texas.cur", "laredo, TX"}};
    for (const auto& c : cases) {
        TMap map(mmResults, &places);
        map.LoadFromFile(kMapsFolder / c.file);
        const std::vector<bool> sea = SeaBelowRegion(map, c.region, 0.05, 0.45);
        ASSERT_GT(sea.size(), 3u) << c.file << ": " << c.region;
        EXPECT_EQ(std::count(sea.begin(), sea.end(), true), 0) << c.file << ": sea south of " << c.region;
    }
    TMap texas(mmResults, &places);
    texas.LoadFromFile(kMapsFolder / "texas.cur");
    const QImage visible = texas.GetVisibleLayer().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(visible.pixel(visible.width() - 1, visible.height() - 1) & 0xFFFFFF, kWater & 0xFFFFFF)
        << "the Gulf of Mexico";
}

// A result in every state: no two counts (with their flags) cover each other, also among the
// small states of New England, and each stays on the map.
TEST(GeneratedMaps, CountsOfNeighbouringStatesDoNotCoverEachOther) {
    TPlaces places(trawlix::test::SourceDataDir().string() + "/Places.cur");
    TMap usa(mmResults, &places);
    usa.SetFlagBitmap(GreenFlagPicture());
    usa.LoadFromFile(kMapsFolder / cStartMapFile);
    TEntryList results;
    for (const auto& item : usa.GetColorMap().GetItems())
        for (int copies = 0; copies < 120; ++copies)  // three-digit counts, as wide as they come
            results.push_back(std::make_shared<TEntry>(ssCraigslist, "", "ad", "http://a/", 0.0, "", "", false,
                                                       item->LocationID, 0.0, "", "", ""));
    usa.SetResults(results);
    const std::vector<QRect>& labels = usa.GetLabelRects();
    ASSERT_EQ(labels.size(), 51u);
    for (size_t one = 0; one < labels.size(); ++one) {
        EXPECT_TRUE(QRect(QPoint(0, 0), usa.GetSize()).contains(labels[one])) << one;
        for (size_t other = one + 1; other < labels.size(); ++other)
            EXPECT_FALSE(labels[one].intersects(labels[other])) << one << " and " << other;
    }
}

TEST(GeneratedMaps, EveryRegionHasItsLinesAndItsRangesHoldItsPixels) {
    TPlaces places(trawlix::test::SourceDataDir().string() + "/Places.cur");
    TMap usa(mmResults, &places);
    usa.LoadFromFile(kMapsFolder / cStartMapFile);
    EXPECT_EQ(usa.GetSize(), QSize(600, 357));
    EXPECT_EQ(usa.GetColorMap().Count(), 51);  // the states and DC

    std::map<std::string, const TPlace*> stateOfMap;
    for (const auto& item : usa.GetColorMap().GetItems()) {
        const TPlace* state = places.GetPlaceByID(item->LocationID);
        ASSERT_NE(state, nullptr) << item->Hint;
        EXPECT_EQ(state->GetParentID(), 1) << item->Hint;
        EXPECT_GE(item->LocationID, 100);
        EXPECT_LE(item->LocationID, 150);
        EXPECT_FALSE(item->Hint.empty());
        EXPECT_TRUE(usa.CanZoomIn(item.get())) << item->Hint << " has no map";
        stateOfMap[item->Map] = state;
    }
    const MapCheck usaCheck = CheckPixels(usa);
    EXPECT_EQ(usaCheck.regions, 51);
    EXPECT_TRUE(usaCheck.colorsWithoutLines.empty());
    EXPECT_TRUE(usaCheck.colorsOutsideTheirRanges.empty());

    for (const auto& [file, state] : stateOfMap) {
        SCOPED_TRACE(file);
        TMap map(mmResults, &places);
        map.LoadFromFile(kMapsFolder / file);
        EXPECT_EQ(map.GetSize(), QSize(600, 357));
        EXPECT_EQ(map.GetParentMap(), cStartMapFile);
        EXPECT_GE(map.GetColorMap().Count(), 1);
        for (const auto& item : map.GetColorMap().GetItems()) {
            const TPlace* area = places.GetPlaceByID(item->LocationID);
            ASSERT_NE(area, nullptr) << item->Hint;
            EXPECT_EQ(area->GetParent(), state) << item->Hint;
            EXPECT_EQ(item->Hint, area->GetName());
            EXPECT_FALSE(item->Ranges.empty()) << item->Hint;
        }
        // Every area of the state has its region: results there count on the state's map.
        std::set<int> drawn;
        for (const auto& item : map.GetColorMap().GetItems()) drawn.insert(item->LocationID);
        for (const TPlace* area : state->GetChildren())
            EXPECT_TRUE(drawn.count(area->GetID())) << area->GetName() << " has no region";
        const MapCheck check = CheckPixels(map);
        EXPECT_EQ(check.regions, map.GetColorMap().Count());
        EXPECT_TRUE(check.colorsWithoutLines.empty());
        EXPECT_TRUE(check.colorsOutsideTheirRanges.empty());
    }
}
