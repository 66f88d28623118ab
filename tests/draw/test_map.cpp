#include <gtest/gtest.h>

#include <QPainter>
#include <memory>

#include "draw/map.h"
#include "map_test_files.h"
#include "model/places.h"
#include "support/test_support.h"

using namespace trawlix;

namespace {

const int kAlabama = RegionColor(255, 0, 0);
const int kAlaska = RegionColor(0, 255, 0);

int OpaquePixels(const QImage& aLayer) {
    int count = 0;
    for (int y = 0; y < aLayer.height(); ++y)
        for (int x = 0; x < aLayer.width(); ++x) count += qAlpha(aLayer.pixel(x, y)) != 0;
    return count;
}

IEntry EntryAt(int aLocationID) {
    return std::make_shared<TEntry>(ssCraigslist, "", "ad", "http://a/", 0.0, "", "", false, aLocationID, 0.0, "", "",
                                    "");
}

class MapTest : public testing::Test {
protected:
    void SetUp() override {
        test::WriteThreeRegionMaps(fFolder.Path());
        fPlaces.LoadFromText(
            "<places><place id=\"1\" parent_id=\"0\" name=\"united states\">"
            "<place id=\"100\" parent_id=\"1\" name=\"alabama\">"
            "<place id=\"1127\" parent_id=\"100\" name=\"birmingham\">"
            "<place id=\"10001\" parent_id=\"1127\" name=\"a sub-area\"/></place></place>"
            "<place id=\"101\" parent_id=\"1\" name=\"alaska\"/></place></places>",
            "places.xml");
    }

    std::unique_ptr<TMap> Load(TMapMode aMode, const std::string& aName = "usa.cur") {
        auto map = std::make_unique<TMap>(aMode, &fPlaces);
        map->OnPaint = [this](TMap&) { ++fPaints; };
        map->OnHint = [this](const std::string& aHint) { fHints.push_back(aHint); };
        map->OnCursorChanged = [this](Qt::CursorShape aCursor) { fCursor = aCursor; };
        map->OnMapChanged = [this](const std::string& aName) { fMapsAsked.push_back(aName); };
        map->LoadFromFile(fFolder.Path() / aName);
        map->SetFlagBitmap(GreenFlagPicture());
        return map;
    }

    test::TempDir fFolder;
    TPlaces fPlaces;
    int fPaints = 0;
    std::vector<std::string> fHints;
    std::vector<std::string> fMapsAsked;
    Qt::CursorShape fCursor = Qt::BlankCursor;
};

}  // namespace

TEST_F(MapTest, LoadsTheLayersAndTheTable) {
    auto map = Load(mmResults);
    EXPECT_EQ(map->GetSize(), QSize(40, 20));
    EXPECT_EQ(map->GetColorMap().Count(), 3);
    EXPECT_EQ(map->GetParentMap(), "");
    EXPECT_EQ(map->GetColorMap().GetItemByColor(RegionColor(0, 0, 255))->Hint, "");  // no line end, no hint
    EXPECT_EQ(map->GetColorMap().GetItemByColor(kAlaska)->Ranges.size(), 2u);
    EXPECT_EQ(fPaints, 1);
    EXPECT_EQ(fCursor, Qt::ArrowCursor);
    EXPECT_EQ(OpaquePixels(map->GetHighlightLayer()) + OpaquePixels(map->GetSelectionLayer()) +
                  OpaquePixels(map->GetResultsLayer()),
              0);
}

TEST_F(MapTest, HoveringHighlightsTheWholeRegionAndRepaintsOnlyOnAChange) {
    auto map = Load(mmResults);
    map->OnMouseMove(13, 5);
    EXPECT_EQ(map->GetHighlightedColor(), kAlaska);
    EXPECT_EQ(fHints.back(), "Alaska");
    EXPECT_EQ(fCursor, Qt::PointingHandCursor);
    EXPECT_EQ(fPaints, 2);
    // Both parts of the region, found through its two ranges, and nothing else.
    EXPECT_EQ(map->GetHighlightLayer().pixel(31, 10), cHighlightedColor);
    EXPECT_EQ(OpaquePixels(map->GetHighlightLayer()), 2 * 4 * 16);

    map->OnMouseMove(14, 9);  // the same region
    EXPECT_EQ(fPaints, 2);
    map->OnMouseMove(5, 5);  // another one
    EXPECT_EQ(fPaints, 3);
    EXPECT_EQ(map->GetHighlightedColor(), kAlabama);
    EXPECT_EQ(OpaquePixels(map->GetHighlightLayer()), 10 * 16);

    map->OnMouseMove(11, 5);  // black: no region
    EXPECT_EQ(fPaints, 4);
    EXPECT_EQ(map->GetHighlightedColor(), 0);
    EXPECT_EQ(fHints.back(), "");
    EXPECT_EQ(fCursor, Qt::ArrowCursor);
    EXPECT_EQ(OpaquePixels(map->GetHighlightLayer()), 0);
    map->OnMouseMove(11, 6);
    map->OnMouseMove(-5, 500);  // outside the picture
    EXPECT_EQ(fPaints, 4);
}

TEST_F(MapTest, TheResultsMapSelectsOneRegionAtATime) {
    auto map = Load(mmResults);
    map->OnMouseMove(5, 5);
    map->ToggleSelect();
    EXPECT_EQ(map->GetLatestSelectedItem()->Color, kAlabama);
    EXPECT_EQ(OpaquePixels(map->GetSelectionLayer()), 10 * 16);
    EXPECT_EQ(map->GetSelectionLayer().pixel(0, 2), cSelectedColor);

    map->OnMouseMove(31, 5);
    map->ToggleSelect();
    ASSERT_EQ(map->GetSelectedItems().size(), 1u);
    EXPECT_EQ(map->GetSelectedItems()[0]->Color, kAlaska);
    EXPECT_FALSE(map->GetColorMap().GetItemByColor(kAlabama)->Selected);
    EXPECT_EQ(OpaquePixels(map->GetSelectionLayer()), 2 * 4 * 16);

    map->ToggleSelect();  // the selected one again: deselected
    EXPECT_TRUE(map->GetSelectedItems().empty());
    EXPECT_EQ(map->GetLatestSelectedItem(), nullptr);
    EXPECT_EQ(OpaquePixels(map->GetSelectionLayer()), 0);
}

TEST_F(MapTest, TheSelectMapKeepsSeveralRegionsAndAClickOutsideClearsThem) {
    auto map = Load(mmSelect);
    map->OnMouseMove(5, 5);
    map->ToggleSelect();
    map->OnMouseMove(22, 5);
    map->ToggleSelect();
    EXPECT_EQ(map->GetSelectedItems().size(), 2u);
    EXPECT_EQ(OpaquePixels(map->GetSelectionLayer()), 10 * 16 + 6 * 16);
    const int paints = fPaints;
    map->OnMouseMove(11, 5);
    map->ToggleSelect();
    EXPECT_TRUE(map->GetSelectedItems().empty());
    EXPECT_FALSE(map->GetColorMap().GetItemByColor(kAlabama)->Selected);
    EXPECT_EQ(OpaquePixels(map->GetSelectionLayer()), 0);
    EXPECT_EQ(fPaints, paints + 2);
}

TEST_F(MapTest, GoesDownOnlyWhereTheSubMapExistsAndUpOnlyWithAParent) {
    auto map = Load(mmResults);
    EXPECT_FALSE(map->ZoomIn());  // nothing hovered
    map->OnMouseMove(31, 5);      // Alaska: its map file is absent
    EXPECT_FALSE(map->ZoomIn());
    map->OnMouseMove(22, 5);  // Arizona: no map line
    EXPECT_FALSE(map->ZoomIn());
    EXPECT_FALSE(map->ZoomOut());
    EXPECT_TRUE(fMapsAsked.empty());

    map->OnMouseMove(5, 5);
    EXPECT_TRUE(map->ZoomIn());
    EXPECT_EQ(fMapsAsked, std::vector<std::string>{"alabama.cur"});

    auto state = Load(mmResults, "alabama.cur");
    EXPECT_EQ(state->GetParentMap(), "usa.cur");
    EXPECT_TRUE(state->ZoomOut());
    EXPECT_EQ(fMapsAsked.back(), "usa.cur");

    state->OnMapChanged = nullptr;  // nobody to load it
    EXPECT_FALSE(state->ZoomOut());
}

TEST_F(MapTest, ASubMapOutsideTheMapsFolderIsNotFollowed) {
    test::WriteMapFile(fFolder.Path() / "usa.cur", test::ThreeRegionPicture(),
                       "id(255,0,0)=100\r\nrange(255,0,0)=(0,2,9,17)\r\nmap(255,0,0)=../usa.cur\r\n");
    std::filesystem::create_directories(fFolder.Path() / "inner");
    std::filesystem::copy_file(fFolder.Path() / "usa.cur", fFolder.Path() / "inner" / "usa.cur");
    auto map = Load(mmResults, "inner/usa.cur");
    map->OnMouseMove(5, 5);
    EXPECT_FALSE(map->ZoomIn());
}

TEST_F(MapTest, CountsIncludeThePlacesBelowARegion) {
    auto map = Load(mmResults);
    TEntryList results;
    for (int id : {100, 1127, 10001, 101, 102, 555}) results.push_back(EntryAt(id));
    map->SetResults(results);
    // Arizona's place 102 is not in the places: no count.
    EXPECT_EQ(map->GetCounts(), (std::vector<int>{3, 1, 0}));
    const QImage& layer = map->GetResultsLayer();
    // The count sits at the centre of the first range (4, 9), its flag above that point.
    EXPECT_NE(qAlpha(layer.pixel(6, 12)), 0);
    EXPECT_NE(qAlpha(layer.pixel(4, 5)), 0);
    EXPECT_EQ(qAlpha(layer.pixel(3, 12)), 0);
    EXPECT_NE(qAlpha(layer.pixel(15, 12)), 0);  // Alaska at (13, 9)
    for (int y = 0; y < layer.height(); ++y)    // Arizona has none
        EXPECT_EQ(qAlpha(layer.pixel(39, y)), 0);
}

TEST_F(MapTest, NoResultsDrawNothingAndShrunkCountsLeaveNothingBehind) {
    auto map = Load(mmResults);
    map->SetResults({});
    EXPECT_EQ(OpaquePixels(map->GetResultsLayer()), 0);
    map->SetResults(TEntryList(12345, EntryAt(100)));
    const int wide = OpaquePixels(map->GetResultsLayer());
    EXPECT_GT(wide, 0);
    map->SetResults(TEntryList(1, EntryAt(100)));
    EXPECT_LT(OpaquePixels(map->GetResultsLayer()), wide);
    map->SetResults({});
    EXPECT_EQ(OpaquePixels(map->GetResultsLayer()), 0);
}

TEST_F(MapTest, TheSelectMapCountsNothing) {
    auto map = Load(mmSelect);
    const int paints = fPaints;
    map->SetResults(TEntryList(3, EntryAt(100)));
    EXPECT_EQ(OpaquePixels(map->GetResultsLayer()), 0);
    EXPECT_EQ(fPaints, paints + 1);
}

TEST_F(MapTest, ComposesTheLayersInOrder) {
    auto map = Load(mmResults);
    map->OnMouseMove(31, 5);
    map->ToggleSelect();
    map->OnMouseMove(5, 5);
    QImage canvas(40, 20, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    map->Render(painter);
    painter.end();
    EXPECT_EQ(canvas.pixel(5, 5), cHighlightedColor);
    EXPECT_EQ(canvas.pixel(31, 5), cSelectedColor);
    EXPECT_EQ(canvas.pixel(11, 5), qRgb(240, 236, 222));
}

TEST_F(MapTest, AFileThatCannotBeReadNamesItselfAndKeepsTheMapAsItWas) {
    auto map = Load(mmResults);
    std::ofstream(fFolder.Path() / "broken.cur", std::ios::binary) << test::BmpBytes(test::ThreeRegionPicture());
    try {
        map->LoadFromFile(fFolder.Path() / "broken.cur");
        ADD_FAILURE() << "a map without its region picture loaded";
    } catch (const EMapFileError& e) {
        EXPECT_NE(std::string(e.what()).find("broken.cur: the region picture is missing"), std::string::npos)
            << e.what();
    }
    EXPECT_EQ(map->GetColorMap().Count(), 3);

    QImage small(10, 10, QImage::Format_RGB32);
    small.fill(Qt::black);
    std::ofstream(fFolder.Path() / "sizes.cur", std::ios::binary)
        << test::BmpBytes(test::ThreeRegionPicture()) << test::BmpBytes(small);
    EXPECT_THROW(map->LoadFromFile(fFolder.Path() / "sizes.cur"), EMapFileError);
    EXPECT_THROW(map->LoadFromFile(fFolder.Path() / "absent.cur"), EMapFileError);
}
