// The map window on the maps the build draws: counts per state, the hint under the mouse,
// a double click into a state and "Zoom Out" back, the free window and the select mode.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QHeaderView>
#include <QMenuBar>
#include <QTableView>
#include <QTabWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "model/filter.h"
#include "model/places.h"
#include "model/search.h"
#include "support/test_support.h"
#include "ui/form_main.h"
#include "ui/form_map.h"
#include "ui/map_preview.h"
#include "ui/results_list.h"
#include "ui/map_location_picker.h"
#include "ui/selection_tree.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

const int cCalifornia = 104;
const int cMassachusetts = 121;
const int cSFBayArea = 1001;

IEntry EntryAt(int aLocationID, int aNumber) {
    return std::make_shared<TEntry>(ssCraigslist, "", "ad", "http://a/" + std::to_string(aNumber), 0.0, "", "", false,
                                    aLocationID, 0.0, "", "", "");
}

const TColorMapItem* ItemOf(const TMap& aMap, int aLocationID) {
    for (const auto& item : aMap.GetColorMap().GetItems())
        if (item->LocationID == aLocationID) return item.get();
    return nullptr;
}

int CountOf(const TMap& aMap, int aLocationID) {
    const auto& items = aMap.GetColorMap().GetItems();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i]->LocationID == aLocationID) return aMap.GetCounts()[i];
    return -1;
}

bool IsRegionAt(const TMap& aMap, const TColorMapItem& aItem, int aX, int aY) {
    const QImage& picture = aMap.GetAlphaLayer();
    if (!picture.valid(aX, aY)) return false;
    const QRgb pixel = picture.pixel(aX, aY);
    return RegionColor(qRed(pixel), qGreen(pixel), qBlue(pixel)) == aItem.Color;
}

// A point of the region that the region picture gives to it, with the region all around it:
// the map may be drawn scaled, and a point at its edge could fall on the neighbour.
QPoint PointIn(const TMap& aMap, int aLocationID) {
    const TColorMapItem* item = ItemOf(aMap, aLocationID);
    if (!item) return {};
    const TRange& range = item->Ranges.front();
    for (int margin : {3, 0})
        for (int y = range.Top; y <= range.Bottom; ++y)
            for (int x = range.Left; x <= range.Right; ++x) {
                bool inside = true;
                for (int dy = -margin; dy <= margin && inside; ++dy)
                    for (int dx = -margin; dx <= margin && inside; ++dx)
                        inside = IsRegionAt(aMap, *item, x + dx, y + dy);
                if (inside) return {x, y};
            }
    return {};
}

// Where a region's point lies on the window's map box, which draws the map scaled to fit.
QPoint PointOn(TformMap& aForm, int aLocationID) {
    return aForm.pbMap->FromMap(PointIn(*aForm.CurrentMap(), aLocationID));
}

}  // namespace

class TestMapWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TPlaces> fPlaces;

private slots:
    void initTestCase() { fPlaces = TPlaces::CreateFromFile(trawlix::test::SourceDataDir().string() + "/Places.cur"); }

    void theEmbeddedMapCountsPerStateAndGoesIntoAState() {
        TSearch search;
        int number = 0;
        for (int i = 0; i < 5; ++i) search.GetFilter().TryAddEntry(EntryAt(cSFBayArea, ++number), 0);
        search.GetFilter().TryAddEntry(EntryAt(1004, ++number), 0);  // boston
        QWidget tab;
        tab.resize(600, 390);
        TformMap form(fPlaces.get());
        QStringList errors;
        form.ShowError = [&](const QString& aText) { errors << aText; };
        QVERIFY(form.Execute(mmResults, &search, &tab));
        QVERIFY(!form.Execute(mmResults, &search, &tab));  // already showing
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        QVERIFY(form.IsEmbedded());
        QVERIFY(!form.tbtnOK->isVisible());
        QCOMPARE(form.windowTitle(), QString("Map overlay of results"));

        TMap* usa = form.CurrentMap();
        QCOMPARE(CountOf(*usa, cCalifornia), 5);
        QCOMPARE(CountOf(*usa, cMassachusetts), 1);
        QCOMPARE(form.RefreshResults(), 6);
        QVERIFY(!form.actZoomOut->isEnabled());

        const QPoint california = PointOn(form, cCalifornia);
        QTest::mouseMove(form.pbMap, california);
        QTRY_VERIFY(form.lblHint->isVisible());
        QCOMPARE(form.lblHint->text(), QString(" California "));
        QCOMPARE(usa->GetHighlightedColor(), ItemOf(*usa, cCalifornia)->Color);
        QCOMPARE(form.pbMap->cursor().shape(), Qt::PointingHandCursor);

        QTest::mouseDClick(form.pbMap, Qt::LeftButton, {}, california);
        QTRY_COMPARE(form.CurrentMap()->GetFileName().filename().string(), std::string("california.cur"));
        TMap* state = form.CurrentMap();
        QCOMPARE(CountOf(*state, cSFBayArea), 5);
        QVERIFY(!form.lblHint->isVisible());
        QVERIFY(form.actZoomOut->isEnabled());
        QCOMPARE(state->GetHighlightedColor(), 0);

        form.actZoomOut->trigger();
        QTRY_COMPARE(form.CurrentMap()->GetFileName().filename().string(), std::string("usa.cur"));
        QVERIFY(!form.actZoomOut->isEnabled());

        // Results arriving while the tab shows are counted at the next refresh.
        search.GetFilter().TryAddEntry(EntryAt(1004, ++number), 0);
        QCOMPARE(form.RefreshResults(), 7);
        QCOMPARE(CountOf(*form.CurrentMap(), cMassachusetts), 2);
        search.GetFilter().ClearResults();
        QCOMPARE(form.RefreshResults(), 1000);
        QVERIFY(errors.isEmpty());
    }

    void theFreeWindowSelectsAStateAndGoesInWithZoomIn() {
        TSearch search;
        TformMap form(fPlaces.get());
        bool checked = false;
        QTimer::singleShot(0, &form, [&] {
            checked = true;
            QVERIFY(form.tbtnOK->isVisible());
            QCOMPARE(form.windowTitle(), QString("Select locations by map"));
            QCOMPARE(form.pbMap->size(), QSize(600, 357));
            QVERIFY(!form.actZoomIn->isEnabled());
            const QPoint california = PointOn(form, cCalifornia);
            QTest::mouseClick(form.pbMap, Qt::LeftButton, {}, california);
            QVERIFY(form.actZoomIn->isEnabled());
            QCOMPARE(form.SelectedLocationIDs(), std::vector<int>{cCalifornia});
            form.actZoomIn->trigger();
            QTRY_COMPARE(form.CurrentMap()->GetFileName().filename().string(), std::string("california.cur"));
            QVERIFY(form.SelectedLocationIDs().empty());
            QTest::mouseClick(form.pbMap, Qt::LeftButton, {}, PointOn(form, cSFBayArea));
            QTest::mouseClick(form.pbMap, Qt::LeftButton, {}, PointOn(form, 1007));  // los angeles
            QVERIFY(!form.actZoomIn->isEnabled());  // areas have no map below them
            form.actOK->trigger();
        });
        QVERIFY(form.Execute(mmSelect, &search, nullptr));
        QVERIFY(checked);
        QCOMPARE(form.SelectedLocationIDs(), (std::vector<int>{cSFBayArea, 1007}));

        QTimer::singleShot(0, &form, [&] { form.actClose->trigger(); });
        QVERIFY(!form.Execute(mmResults, &search, nullptr));
    }

    void selectOnMapTicksTheChosenPlacesInTheTree() {
        TSelectionTree tree;
        tree.FillLocationsTreeView(fPlaces->GetCountries());
        TMapLocationPicker picker(tree, &tree,
                                  [&](QTreeWidgetItem* aItem) { tree.ToggleSelectedStateIndex(aItem, true, nullptr, false); });
        QTreeWidgetItem* massachusetts = tree.ItemOfPlace(fPlaces->GetPlaceByID(cMassachusetts));
        tree.ToggleSelectedStateIndex(massachusetts, true, nullptr, false);
        QTimer::singleShot(0, picker.Form(), [&] {
            QTest::mouseClick(picker.Form()->pbMap, Qt::LeftButton, {}, PointOn(*picker.Form(), cCalifornia));
            QTest::mouseClick(picker.Form()->pbMap, Qt::LeftButton, {}, PointOn(*picker.Form(), cMassachusetts));
            picker.Form()->actOK->trigger();
        });
        picker.btnSelectOnMap->click();
        QCOMPARE(TSelectionTree::GetMark(tree.ItemOfPlace(fPlaces->GetPlaceByID(cCalifornia))), int(nmChecked));
        // Already ticked: stays ticked rather than being toggled off.
        QCOMPARE(TSelectionTree::GetMark(massachusetts), int(nmChecked));
        QCOMPARE(TSelectionTree::GetMark(tree.ItemOfPlace(fPlaces->GetPlaceByID(cSFBayArea))), int(nmChecked));
        QCOMPARE(TSelectionTree::GetMark(tree.ItemOfPlace(fPlaces->GetPlaceByID(110))), int(nmUnchecked));

        // Closed without OK: nothing changes.
        QTimer::singleShot(0, picker.Form(), [&] {
            QTest::mouseClick(picker.Form()->pbMap, Qt::LeftButton, {}, PointOn(*picker.Form(), 110));
            picker.Form()->actClose->trigger();
        });
        picker.btnSelectOnMap->click();
        QCOMPARE(TSelectionTree::GetMark(tree.ItemOfPlace(fPlaces->GetPlaceByID(110))), int(nmUnchecked));
    }

    // The main window's "Map Preview" tab on a search over two states, a double click into
    // one, and the toolbar button's free window.
    void theMainWindowShowsTheMapOfTheCurrentSearch() {
        test::TempDir profile;
        test::TRun::chosenOrientation = orPortrait;  // the preview pane below the results
        test::TRun run(profile.Path());
        test::TRun::chosenOrientation.reset();
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(search);
        int number = 0;
        for (int i = 0; i < 3; ++i) search->AddSearchResult(EntryAt(cSFBayArea, ++number));
        search->AddSearchResult(EntryAt(1004, ++number));
        run.window->ResultsList()->RebuildViewList();

        TMapPreview& preview = *run.window->MapPreview();
        TformMap& form = *preview.Form();
        QVERIFY(run.window->actMap->isEnabled());
        QVERIFY(preview.lblShowMapOverlay && preview.miShowMapPreview);
        run.window->pcPreview->setCurrentWidget(preview.tsMapPreview);
        QVERIFY(form.IsEmbedded());
        QVERIFY(form.isVisible());
        // Below the results, the whole map is shown, drawn to the pane's size (the pane no
        // longer has to be as high as the map's own pixels).
        QCOMPARE(run.window->Orientation(), orPortrait);
        QTRY_VERIFY2(form.pbMap->height() >= 357 / 2, qPrintable(QString::number(form.pbMap->height())));
        const QSize mapSize = form.CurrentMap()->GetSize();
        QVERIFY(form.pbMap->rect().contains(form.pbMap->FromMap(QPoint(0, 0))));
        QVERIFY(form.pbMap->rect().contains(form.pbMap->FromMap(QPoint(mapSize.width() - 1, mapSize.height() - 1))));
        QCOMPARE(CountOf(*form.CurrentMap(), cCalifornia), 3);
        QCOMPARE(CountOf(*form.CurrentMap(), cMassachusetts), 1);

        // Results that come in are counted on the preview's timer.
        search->AddSearchResult(EntryAt(1004, ++number));
        run.window->ResultsList()->RebuildViewList();
        QTRY_COMPARE(CountOf(*form.CurrentMap(), cMassachusetts), 2);

        const QPoint california = PointOn(form, cCalifornia);
        QTest::mouseMove(form.pbMap, california);
        QTest::mouseDClick(form.pbMap, Qt::LeftButton, {}, california);
        QTRY_COMPARE(form.CurrentMap()->GetFileName().filename().string(), std::string("california.cur"));
        QCOMPARE(CountOf(*form.CurrentMap(), cSFBayArea), 3);
        form.actZoomOut->trigger();
        QTRY_COMPARE(form.CurrentMap()->GetFileName().filename().string(), std::string("usa.cur"));

        // The toolbar button takes the map out of its tab into a window of its own.
        bool shown = false;
        QTimer::singleShot(0, &form, [&] {
            shown = form.isVisible() && !form.IsEmbedded();
            QCOMPARE(form.windowTitle(), QString("Map overlay of results"));
            QCOMPARE(CountOf(*form.CurrentMap(), cCalifornia), 3);
            QTest::keyClick(&form, Qt::Key_Escape);
        });
        run.window->actMap->trigger();
        QVERIFY(shown);
        QVERIFY(run.window->pcPreview->currentWidget() != preview.tsMapPreview);
        QVERIFY(run.ExitAndWait());
    }

    // "Show map on finish" opens the map window after a run the user started, never after an
    // alert's run, which would put the modal window over whatever the user is doing.
    void theMapShowsOnFinishOnlyAfterARunTheUserStarted() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(search);
        search->AddSearchResult(EntryAt(cSFBayArea, 1));
        run.window->ResultsList()->RebuildViewList();
        TMapPreview& preview = *run.window->MapPreview();
        TformMap& form = *preview.Form();
        for (bool calledFromUser : {false, true}) {
            search->SetCalledFromUser(calledFromUser);
            bool shown = false;
            QTimer::singleShot(0, &form, [&] {
                shown = form.isVisible();
                if (shown) QTest::keyClick(&form, Qt::Key_Escape);
            });
            preview.SearchFinished(*search, true);
            QCoreApplication::processEvents();  // the check above runs here when no modal window ran it
            QCOMPARE(shown, calledFromUser);
            QVERIFY(!form.isVisible());
        }
        QVERIFY(run.ExitAndWait());
    }

    // The map's tab on a small screen: the window keeps its height (the status bar stays on
    // the screen) and the results list keeps several rows; the map is drawn smaller.
    void theMapTabFitsASmallScreen() {
        test::TempDir profile;
        test::TRun::chosenOrientation = orPortrait;
        test::TRun run(profile.Path());
        test::TRun::chosenOrientation.reset();
        run.window->resize(1024, 700);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        TMapPreview& preview = *run.window->MapPreview();
        run.window->pcPreview->setCurrentWidget(preview.tsMapPreview);
        QTRY_VERIFY(preview.Form()->isVisible());
        QCoreApplication::processEvents();
        QVERIFY2(run.window->minimumSizeHint().height() <= 700,
                 qPrintable(QString::number(run.window->minimumSizeHint().height())));
        QCOMPARE(run.window->height(), 700);
        const int rowHeight = run.window->lvResults->verticalHeader()->defaultSectionSize();
        QVERIFY2(run.window->lvResults->viewport()->height() >= 3 * rowHeight,
                 qPrintable(QString::number(run.window->lvResults->viewport()->height())));
        QVERIFY(run.ExitAndWait());
    }

    void aMapThatCannotBeReadIsNamedToTheUser() {
        TformMap form(fPlaces.get());
        QStringList errors;
        form.ShowError = [&](const QString& aText) { errors << aText; };
        form.MapsFolder = "/nonexistent/maps";
        QVERIFY(!form.Execute(mmResults, nullptr, nullptr));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("/nonexistent/maps/usa.cur"), qPrintable(errors[0]));
        QVERIFY(!form.isVisible());
    }
};

TRAWLIX_UI_TEST(TestMapWindow)
#include "test_map_window.moc"
