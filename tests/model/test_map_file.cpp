#include <gtest/gtest.h>

#include <memory>

#include "model/entry.h"
#include "model/map_file.h"
#include "model/map_regions.h"
#include "model/places.h"

using namespace trawlix;

namespace {

std::string Bmp(size_t aLength, char aFill) {
    std::string bytes = "BM";
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((aLength >> shift) & 0xFF));
    bytes.resize(aLength, aFill);
    return bytes;
}

IEntry EntryAt(int aLocationID) {
    return std::make_shared<TEntry>(ssCraigslist, "", "ad", "http://a/" + std::to_string(aLocationID), 0.0, "", "",
                                    false, aLocationID, 0.0, "", "", "");
}

}  // namespace

TEST(MapFile, PropertyLinesFillTheColourTable) {
    const std::string text =
        "PARENT_MAP=usa.cur\r\n"
        "parent_map=other.cur\r\n"
        "id(1,0,0)=100\r\n"
        " Range(1,0,0) = (1,2,3,4)\r\n"
        "range(1,0,0)=(5,6,7,8)\r\n"
        "hint(1,0,0)=Alabama\r\n"
        "map(1,0,0)=alabama.cur\r\n"
        "id(0,2,0)=101\r\n"
        "range(0,0,3)=(0,0,0,0)\r\n"
        "id(1,1,1)=99999999999\r\n"
        "nonsense line\r\n"
        "hint(0,2,0)=Alaska";  // no line end: not a hint line
    TColorMap colorMap;
    EXPECT_EQ(ParseProperties(text, colorMap), "usa.cur");
    ASSERT_EQ(colorMap.Count(), 3);

    const TColorMapItem* alabama = colorMap.GetItemByColor(RegionColor(1, 0, 0));
    ASSERT_NE(alabama, nullptr);
    EXPECT_EQ(alabama->LocationID, 100);
    EXPECT_EQ(alabama->Ranges, (std::vector<TRange>{{1, 2, 3, 4}, {5, 6, 7, 8}}));
    EXPECT_EQ(alabama->Hint, "Alabama");
    EXPECT_EQ(alabama->Map, "alabama.cur");
    EXPECT_FALSE(alabama->Selected);

    const TColorMapItem* alaska = colorMap.GetItemByColor(2 * 256);
    ASSERT_NE(alaska, nullptr);
    EXPECT_EQ(alaska->LocationID, 101);
    EXPECT_EQ(alaska->Hint, "");
    EXPECT_TRUE(alaska->Ranges.empty());

    // A range alone makes an item without a place; a number too big for an int is no line.
    const TColorMapItem* rangeOnly = colorMap.GetItemByColor(3 * 65536);
    ASSERT_NE(rangeOnly, nullptr);
    EXPECT_EQ(rangeOnly->LocationID, -1);
    EXPECT_EQ(colorMap.GetItemByColor(RegionColor(1, 1, 1)), nullptr);
}

TEST(MapFile, NoParentMapWithoutItsLineEnd) {
    TColorMap colorMap;
    EXPECT_EQ(ParseProperties("parent_map=usa.cur", colorMap), "");
    EXPECT_EQ(colorMap.Count(), 0);
}

TEST(MapFile, SplitsThePicturesAndTheText) {
    const std::string bytes = Bmp(40, 'v') + Bmp(30, 'a') + "hint(1,0,0)=x\r\n";
    const TMapFileParts parts = SplitMapFile(bytes, "m.cur");
    EXPECT_EQ(parts.VisibleLayer, Bmp(40, 'v'));
    EXPECT_EQ(parts.AlphaLayer, Bmp(30, 'a'));
    EXPECT_EQ(parts.Properties, "hint(1,0,0)=x\r\n");
}

TEST(MapFile, BadFilesNameTheFileAndTheReason) {
    const struct {
        std::string bytes;
        std::string reason;
    } cases[] = {
        {"", "visible picture is missing"},
        {"GIF89a" + std::string(40, 'x'), "visible picture is not a BMP"},
        {Bmp(40, 'v').substr(0, 30), "visible picture is cut short"},
        {Bmp(40, 'v'), "region picture is missing"},
        {Bmp(40, 'v') + Bmp(300, 'a').substr(0, 100), "region picture is cut short"},
        {Bmp(40, 'v') + "text instead of a picture, long enough", "region picture is not a BMP"},
    };
    for (const auto& c : cases) {
        try {
            SplitMapFile(c.bytes, "broken.cur");
            ADD_FAILURE() << "no error for " << c.reason;
        } catch (const EMapFileError& e) {
            EXPECT_NE(std::string(e.what()).find("broken.cur"), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
    try {
        ReadMapFile("/nonexistent/folder/usa.cur");
        ADD_FAILURE() << "a missing file read";
    } catch (const EMapFileError& e) {
        EXPECT_NE(std::string(e.what()).find("/nonexistent/folder/usa.cur: No such file"), std::string::npos) << e.what();
    }
}

TEST(MapRegions, CountsTheRegionsPlaceAndEveryPlaceBelowIt) {
    TPlaces places;
    places.LoadFromText(
        "<places><place id=\"1\" parent_id=\"0\" name=\"united states\">"
        "<place id=\"100\" parent_id=\"1\" name=\"alabama\">"
        "<place id=\"1127\" parent_id=\"100\" name=\"birmingham\">"
        "<place id=\"10001\" parent_id=\"1127\" name=\"a sub-area\"/></place></place>"
        "<place id=\"101\" parent_id=\"1\" name=\"alaska\"/></place></places>",
        "places.xml");
    TColorMap colorMap;
    ParseProperties(
        "id(1,0,0)=100\r\nid(2,0,0)=101\r\nid(3,0,0)=555\r\nhint(4,0,0)=no id\r\nid(5,0,0)=1127\r\n", colorMap);
    TMapRegions regions(colorMap, places);
    EXPECT_TRUE(regions.HasPlace(0));
    EXPECT_FALSE(regions.HasPlace(2));  // 555 names no place
    EXPECT_FALSE(regions.HasPlace(4));  // named by a hint line only, after the id lines

    TEntryList results;
    for (int id : {100, 1127, 10001, 10001, 101, 1, 555, 0, -1}) results.push_back(EntryAt(id));
    // Alabama holds its area and the area's sub-area; the area's own region counts them too.
    EXPECT_EQ(regions.Count(results), (std::vector<int>{4, 1, 0, 3, 0}));
    EXPECT_EQ(regions.Count({}), (std::vector<int>{0, 0, 0, 0, 0}));
}

// A state's map of three areas: an ad the site placed by its coordinates counts in the area
// nearest to it, when it belongs on the map and lies near enough to an area.
TEST(MapRegions, AnAdWithCoordinatesCountsInTheNearestAreaOfItsMap) {
    TPlaces places;
    places.LoadFromText(
        "<places><place id=\"1\" parent_id=\"0\" name=\"united states\">"
        "<place id=\"104\" parent_id=\"1\" name=\"california\">"
        "<place id=\"200\" parent_id=\"104\" name=\"SF bay area\" lat=\"37.77\" long=\"-122.42\"/>"
        "<place id=\"201\" parent_id=\"104\" name=\"santa cruz\" lat=\"36.97\" long=\"-122.03\"/>"
        "<place id=\"202\" parent_id=\"104\" name=\"monterey\" lat=\"36.60\" long=\"-121.89\"/></place>"
        "<place id=\"105\" parent_id=\"1\" name=\"oregon\">"
        "<place id=\"300\" parent_id=\"105\" name=\"portland\" lat=\"45.52\" long=\"-122.68\"/></place>"
        "</place></places>",
        "places.xml");
    TColorMap colorMap;
    ParseProperties("id(1,0,0)=200\r\nid(2,0,0)=201\r\nid(3,0,0)=202\r\n", colorMap);
    TMapRegions regions(colorMap, places);
    struct TCase {
        int locationID;
        bool hasGeo;
        double latitude, longitude;
        std::vector<int> counts;
        const char* why;
    } cases[] = {
        {200, true, 36.98, -122.00, {0, 1, 0}, "found by the bay's search, posted in santa cruz"},
        {200, true, 36.62, -121.85, {0, 0, 1}, "posted in monterey"},
        {200, false, 0, 0, {1, 0, 0}, "no coordinates: its search's place"},
        {200, true, 34.05, -118.24, {1, 0, 0}, "no area of the map near it"},
        {300, true, 36.98, -122.00, {0, 0, 0}, "a result of another state's search stays off this map"},
    };
    for (const auto& c : cases) {
        IEntry entry = EntryAt(c.locationID);
        if (c.hasGeo) entry->SetGeo(c.latitude, c.longitude);
        EXPECT_EQ(regions.Count({entry}), c.counts) << c.why;
    }
}
