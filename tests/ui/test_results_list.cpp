// The results list in the main window: header clicks and the sort menus, row cells and
// colours, the checked entries (selection, Space, the mark column, Select All), delete,
// favourites with their note, clearing and marking old, the column widths.
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

#include "app/settings.h"
#include "results_test_support.h"
#include "ui/result_pictures.h"
#include "ui_test_registry.h"

using namespace trawlix;
using test::TResultsWindow;
using test::TTestAd;

namespace {

std::vector<TTestAd> PricedAds() {
    return {{.name = "lamp", .price = 40}, {.name = "sofa", .price = 900}, {.name = "free chair", .price = 0},
            {.name = "table", .price = 120}};
}

}  // namespace

class TestResultsList : public QObject {
    Q_OBJECT

private slots:
    void headerClicksSortColumnsTwoToSixOnly() {
        TResultsWindow window(PricedAds());
        TResultsList& list = window.list();
        QCOMPARE(list.SortIndex(), 2);
        QVERIFY(!list.SortAscending());
        const std::vector<std::string> before = window.Captions();
        for (int column : {0, 1, 7}) {
            window.ClickHeader(column);
            QCOMPARE(list.SortIndex(), 2);
            QVERIFY(!list.SortAscending());
            QCOMPARE(window.Captions(), before);
            QCOMPARE(window.view().horizontalHeader()->sortIndicatorSection(), 2);
        }
        window.ClickHeader(4);  // Price: highest first
        QCOMPARE(window.Captions(), (std::vector<std::string>{"sofa", "table", "lamp", "free chair"}));
        QCOMPARE(window.view().horizontalHeader()->sortIndicatorSection(), 4);
        QCOMPARE(window.view().horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        QVERIFY(list.miPrice->isChecked() && list.miDescending->isChecked() && !list.miDate->isChecked());
        window.ClickHeader(4);  // and then lowest first
        QCOMPARE(window.Captions(), (std::vector<std::string>{"free chair", "lamp", "table", "sofa"}));
        QCOMPARE(window.view().horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
        QVERIFY(list.miAscending->isChecked());
        window.ClickHeader(3);  // another column starts descending again
        QCOMPARE(window.Captions(), (std::vector<std::string>{"table", "sofa", "lamp", "free chair"}));
        QCOMPARE(window.view().horizontalHeader()->sortIndicatorSection(), 3);
    }

    void sortMenusSortAndATabChangeResetsToDateDescending() {
        TResultsWindow window(PricedAds());
        TResultsList& list = window.list();
        list.miCaption->trigger();
        list.miAscending->trigger();
        QCOMPARE(window.Captions(), (std::vector<std::string>{"free chair", "lamp", "sofa", "table"}));
        QCOMPARE(window.view().horizontalHeader()->sortIndicatorSection(), 3);
        window.run.window->actNewTab->trigger();
        QCOMPARE(list.SortIndex(), 2);
        QVERIFY(!list.SortAscending());
        QVERIFY(list.miDate->isChecked() && list.miDescending->isChecked());
        QCOMPARE(window.view().horizontalHeader()->sortIndicatorSection(), 2);
    }

    void theCurrentRowFollowsItsEntryWhenTheListIsSorted() {
        TResultsWindow window(PricedAds());
        QTableView& view = window.view();
        QVERIFY(QTest::qWaitForWindowExposed(window.run.window.get()));
        const int before = window.RowOf("sofa");
        QVERIFY(before >= 0);
        view.setCurrentIndex(window.model().index(before, TResultsModel::cCaptionColumn));
        QCOMPARE(window.list().GetSelectedEntry(), window.Entry("sofa"));

        int moves = 0;
        int previous = before;
        for (const bool ascending : {false, true}) {  // a first click sorts falling, the next rising
            window.ClickHeader(TResultsModel::cPriceColumn);
            QCOMPARE(window.list().SortIndex(), TResultsModel::cPriceColumn);
            QCOMPARE(window.list().SortAscending(), ascending);
            const int after = window.RowOf("sofa");
            QCOMPARE(after, ascending ? 3 : 0);  // the dearest ad is at an end of the list
            if (after != previous) ++moves;
            previous = after;
            QVERIFY(view.currentIndex().isValid());
            QCOMPARE(view.currentIndex().row(), after);
            QCOMPARE(view.currentIndex().siblingAtColumn(TResultsModel::cCaptionColumn).data().toString(),
                     QString("sofa"));
            const QModelIndexList selected = view.selectionModel()->selectedRows();
            QCOMPARE(selected.size(), 1);
            QCOMPARE(selected.first().row(), after);
            QCOMPARE(window.list().GetSelectedEntry(), window.Entry("sofa"));
            QVERIFY(window.Entry("sofa")->GetChecked());
            QVERIFY(!window.Entry("lamp")->GetChecked());
        }
        QVERIFY(moves > 0);  // the row did move, so the checks above were about following it
    }

    void defaultOrderPutsNewFirstThenDatesThenFallingPostingIds() {
        TResultsWindow window({{.name = "old id5", .date = "Dec 9", .link = "http://sfbay.craigslist.org/bik/5.html"},
                               {.name = "new older", .date = "Nov 2", .isNew = true},
                               {.name = "old id7", .date = "Dec 9", .link = "http://sfbay.craigslist.org/bik/7.html"},
                               {.name = "old no date", .date = ""}});
        QCOMPARE(window.Captions(), (std::vector<std::string>{"new older", "old id7", "old id5", "old no date"}));
    }

    void cellsShowPriceSiteMarksAndColours() {
        TResultsWindow window({{.name = "free", .price = 0, .isNew = true},
                               {.name = "car", .date = "Dec 8", .price = 2500.5, .site = ssAutotrader},
                               {.name = "seen", .date = "Dec 7", .site = ssOodle}});
        TColorSettings& colors = window.run.session->GetSettings().GetColorSettings();
        colors.SetNewBackgroundColor(RGBColor(1, 2, 3));
        colors.SetVisitedBackgroundColor(RGBColor(200, 100, 50));
        colors.SetHighlightedFontColor(RGBColor(9, 8, 7));
        window.Entry("seen")->SetVisited(true);
        window.Entry("car")->SetReplied(true);
        window.search->AddFavourite(std::make_shared<TFavourite>(*window.Entry("free"), ""));
        TResultsModel& model = window.model();
        const int free = window.RowOf("free"), car = window.RowOf("car"), seen = window.RowOf("seen");
        QCOMPARE(model.index(free, 4).data().toString(), QString("---"));
        QCOMPARE(model.index(car, 4).data().toString(), QString("2500.5"));
        QCOMPARE(model.index(car, 7).data().toString(), QString("www.autotrader.com"));
        QCOMPARE(model.index(seen, 7).data().toString(), QString("Oodle"));
        QCOMPARE(model.index(free, 5).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(1, 2, 3));
        QCOMPARE(model.index(seen, 5).data(Qt::BackgroundRole).value<QBrush>().color(), QColor(200, 100, 50));
        QCOMPARE(model.index(seen, 5).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(9, 8, 7));
        QVERIFY(!model.index(car, 5).data(Qt::BackgroundRole).isValid());  // old, not visited: system colours
        // The favourite icon wins over the replied one; an ad with neither shows none.
        QVERIFY(model.index(seen, 0).data(Qt::DecorationRole).isNull());
        QCOMPARE(model.index(free, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(), FavouriteIcon().cacheKey());
        QCOMPARE(model.index(car, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(), RepliedIcon().cacheKey());
        // A row the view list does not hold shows the error text in the caption only.
        QCOMPARE(TResultsModel::CellText(nullptr, 3), QString("---ERROR---"));
        QCOMPARE(TResultsModel::CellText(nullptr, 4), QString("-"));
        QCOMPARE(model.index(free, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }

    void spaceMarkColumnAndSelectionCheckEntries() {
        TResultsWindow window(PricedAds());
        QTableView& view = window.view();
        const int lamp = window.RowOf("lamp"), sofa = window.RowOf("sofa"), table = window.RowOf("table");
        window.ClickMark(lamp);
        QVERIFY(window.Entry("lamp")->GetChecked());
        QVERIFY(!view.selectionModel()->hasSelection());  // the mark does not move the selection
        view.selectRow(sofa);
        QVERIFY(window.Entry("sofa")->GetChecked());
        QCOMPARE(window.list().Selection().Count(), 1);
        QTest::keyClick(&view, Qt::Key_Space);  // Space unchecks the selected entry
        QVERIFY(!window.Entry("sofa")->GetChecked());
        QTest::keyClick(&view, Qt::Key_Space);
        view.selectRow(table);
        // Leaving the selection unchecks what the selection checked, not what was ticked by hand.
        QVERIFY(!window.Entry("sofa")->GetChecked());
        QVERIFY(window.Entry("lamp")->GetChecked());
        QVERIFY(window.Entry("table")->GetChecked());
        window.list().actSelectionClear->trigger();
        for (const TTestAd& ad : PricedAds()) QVERIFY(!window.Entry(ad.name)->GetChecked());
        window.list().actSelectAll->trigger();
        for (const TTestAd& ad : PricedAds()) QVERIFY(window.Entry(ad.name)->GetChecked());
        QCOMPARE(window.model().index(lamp, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }

    void deleteWithNothingCheckedRemovesNothingButRefreshesTheLabel() {
        TResultsWindow window(PricedAds());
        window.run.window->lblResultsCount->setText("stale");
        window.list().actSelectionDelete->trigger();
        QCOMPARE(window.model().rowCount(), 4);
        QCOMPARE(window.run.window->lblResultsCount->text(), QString("Results (4 found) "));
        TCLock lock(window.search->GetCriticalSection());
        QCOMPARE(window.search->GetDeletedResults().size(), size_t(0));
    }

    void deleteMovesCheckedEntriesToTheDeletedResults() {
        TResultsWindow window(PricedAds());
        std::vector<std::string> expected = window.Captions();
        std::erase_if(expected, [](const std::string& aName) { return aName == "lamp" || aName == "table"; });
        window.ClickMark(window.RowOf("lamp"));
        window.ClickMark(window.RowOf("table"));
        window.list().actSelectionDelete->trigger();
        QCOMPARE(window.Captions(), expected);
        QCOMPARE(window.run.window->lblResultsCount->text(), QString("Results (2 found) "));
        TCLock lock(window.search->GetCriticalSection());
        QCOMPARE(window.search->GetDeletedResults().size(), size_t(2));
        QCOMPARE(window.search->GetSearchResults().size(), size_t(2));
    }

    void deleteKeyRemovesTheSelectedAdAndSelectsTheNext() {
        TResultsWindow window(PricedAds());
        const std::vector<std::string> before = window.Captions();
        window.view().selectRow(1);
        window.view().setFocus();
        QTest::keyClick(&window.view(), Qt::Key_Delete);
        QCOMPARE(window.model().rowCount(), 3);
        QVERIFY(window.Entry(before[1]) == nullptr);
        QCOMPARE(window.list().GetSelectedEntry()->GetName(), before[2]);
    }

    void favouritesToggleShowWithTheirNoteAndLeaveTheirView() {
        TResultsWindow window(PricedAds());
        TResultsList& list = window.list();
        list.actAddToFavourites->trigger();
        QCOMPARE(window.run.dialogs.informations, std::vector<std::string>{"You have to select some results first."});
        window.view().selectRow(window.RowOf("sofa"));
        list.actAddToFavourites->trigger();
        QVERIFY(window.search->FavoriteExists(window.Entry("sofa")->GetLink()));
        QTest::mouseClick(list.cbShowFavourites, Qt::LeftButton, {}, QPoint(6, list.cbShowFavourites->height() / 2));
        QVERIFY(list.ShowingFavourites());
        QVERIFY(list.gbFavourites->isVisible());
        QCOMPARE(window.Captions(), std::vector<std::string>{"sofa"});
        QCOMPARE(window.run.window->lblResultsCount->text(), QString("Favorites (1) "));
        QCOMPARE(list.miResults->title(), QString("Favorites"));
        list.UpdateActions();
        QVERIFY(!list.actSelectionAddToFavourites->isEnabled());
        QVERIFY(!list.actEraseResults->isEnabled());
        window.view().selectRow(0);
        QVERIFY(list.memoFavouriteNote->toPlainText().isEmpty());
        QTest::keyClicks(list.memoFavouriteNote, "call after 6");
        QCOMPARE(window.search->GetFavoriteByLink(window.Entry("sofa")->GetLink())->GetNote(), std::string("call after 6"));
        // Toggling it again removes the favourite and its row.
        list.actAddToFavourites->trigger();
        QCOMPARE(window.model().rowCount(), 0);
        QCOMPARE(window.run.window->lblResultsCount->text(), QString("Favorites (0) "));
        QTest::mouseClick(list.cbShowFavourites, Qt::LeftButton, {}, QPoint(6, list.cbShowFavourites->height() / 2));
        QCOMPARE(window.model().rowCount(), 4);
        QCOMPARE(window.run.window->lblResultsCount->text(), QString("Results (4 found) "));
    }

    void deletingInTheFavouritesViewKeepsTheResult() {
        TResultsWindow window(PricedAds());
        TResultsList& list = window.list();
        window.ClickMark(window.RowOf("lamp"));
        window.ClickMark(window.RowOf("table"));
        list.actSelectionAddToFavourites->trigger();
        list.cbShowFavourites->setChecked(true);
        QCOMPARE(window.model().rowCount(), 2);
        window.ClickMark(window.RowOf("lamp"));  // the favourite is a copy: unchecked
        list.actSelectionDelete->trigger();
        QCOMPARE(window.Captions(), std::vector<std::string>{"table"});
        TCLock lock(window.search->GetCriticalSection());
        QCOMPARE(window.search->GetFavourites().size(), size_t(1));
        QCOMPARE(window.search->GetSearchResults().size(), size_t(4));
    }

    void clearResultsAndMarkAllOld() {
        TResultsWindow window({{.name = "a", .isNew = true}, {.name = "b", .isNew = true}});
        TResultsList& list = window.list();
        window.run.dialogs.confirmAnswer = false;
        list.btnMarkAllResultsAsOld->click();
        QCOMPARE(window.run.dialogs.confirmations,
                 std::vector<std::string>{"Do you confirm marking all the results as visited?"});
        QVERIFY(window.Entry("a")->GetNew());
        window.run.dialogs.confirmAnswer = true;
        list.btnMarkAllResultsAsOld->click();
        QVERIFY(!window.Entry("a")->GetNew() && !window.Entry("b")->GetNew());
        // Clearing asks first; "No" keeps every result.
        window.run.dialogs.Clear();
        window.run.dialogs.confirmAnswer = false;
        list.actEraseResults->trigger();
        QCOMPARE(window.run.dialogs.confirmations, std::vector<std::string>{TResultsList::cClearQuestion});
        QCOMPARE(window.model().rowCount(), 2);
        window.run.dialogs.confirmAnswer = true;
        list.actEraseResults->trigger();
        QCOMPARE(window.model().rowCount(), 0);
        QCOMPARE(window.run.window->lblResultsCount->text(), QString("Results (0 found) "));
        // An empty list is cleared without a question.
        window.run.dialogs.Clear();
        list.actEraseResults->trigger();
        QVERIFY(window.run.dialogs.confirmations.empty());
        TCLock lock(window.search->GetCriticalSection());
        QVERIFY(window.search->GetSearchResults().empty());
    }

    void draggingAColumnBorderStoresItsWidth() {
        TResultsWindow window(PricedAds());
        QHeaderView* header = window.view().horizontalHeader();
        const int border = header->sectionViewportPosition(5) + header->sectionSize(5) - 1;
        const int y = header->height() / 2;
        QTest::mousePress(header->viewport(), Qt::LeftButton, {}, QPoint(border, y));
        QTest::mouseMove(header->viewport(), QPoint(border + 20, y));
        QTest::mouseMove(header->viewport(), QPoint(border + 40, y));
        QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, QPoint(border + 40, y));
        const int dragged = header->sectionSize(5);
        QVERIFY(dragged > 157);
        TColumnsSettings& columns = window.run.session->GetSettings().GetColumnsSettings();
        QTRY_COMPARE(columns.GetColumnWidth("lvResults", 5), dragged);
        QCOMPARE(columns.GetColumnWidth("lvResults", 6), -1);  // not dragged: nothing stored
        // A width set by the program is not the user's: it is not stored.
        window.view().setColumnWidth(6, 99);
        QTest::qWait(10);
        QCOMPARE(columns.GetColumnWidth("lvResults", 6), -1);
    }

    void storedColumnWidthsApplyWhenASearchIsShown() {
        TResultsWindow window(PricedAds());
        TColumnsSettings& columns = window.run.session->GetSettings().GetColumnsSettings();
        columns.SetColumnWidth("lvResults", 5, 211);
        columns.SetColumnWidth("lvResults", 2, 0);
        window.run.window->actNewTab->trigger();
        QCOMPARE(window.view().columnWidth(5), 211);
        QCOMPARE(window.view().columnWidth(2), 0);
        QCOMPARE(window.view().columnWidth(6), 157);  // nothing stored: as designed
    }
};

TRAWLIX_UI_TEST(TestResultsList)
#include "test_results_list.moc"
