// Searches started and stopped from the window, fetched for real through the site
// simulator acting as the program's proxy: rows arrive, the label counts them, the same
// ad found in two cities shows once, and an exit while searches run saves once, with the
// results.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDateTimeEdit>
#include <QMenu>
#include <QTableView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTest>
#include <unistd.h>

#include "app/settings.h"
#include "engine/proxy_settings.h"
#include "support/sitesim_fixture.h"
#include "support/test_support.h"
#include "ui/criteria_panel.h"
#include "ui/date_range.h"
#include "ui/results_model.h"
#include "criteria_controls.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

class TestSearchInWindow : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<test::TSiteSimulator> fSim;

    // The profile's proxy is the simulator: every site's page comes from it.
    // A Craigslist search for antiques in the SF bay area, made in the panel.
    static void PrepareSearch(test::TRun& aRun, const QString& aKeywords) {
        aRun.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(aRun.window.get()));
        test::FillAntiquesSearch(aRun.window->Criteria(), aKeywords, 1);
    }

    // Runs the current search to its end, as the Search button does.
    static void RunToTheEnd(test::TRun& aRun) {
        aRun.window->actSearch->trigger();
        TSearch* search = aRun.window->CurrentSearch();
        QVERIFY(QTest::qWaitFor([search] { return !search->GetSearching(); }, 30000));
        QTRY_COMPARE(aRun.window->actSearch->text(), QString("Start search"));
    }

    static int RowOf(const TResultsModel& aModel, const IEntry& aEntry) {
        for (int row = 0; row < aModel.rowCount(); ++row)
            if (aModel.EntryAt(row) == aEntry) return row;
        return -1;
    }

    // Selects a row with a click and opens the row menu on it with the right button.
    static QMenu* OpenRowMenu(test::TRun& aRun, int aRow) {
        QTableView* list = aRun.window->lvResults;
        const QModelIndex cell = list->model()->index(aRow, TResultsModel::cCaptionColumn);
        list->scrollTo(cell);
        const QPoint at = list->visualRect(cell).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &menuEvent);
        QMenu* menu = list->findChild<QMenu*>("pmResults");
        if (menu && !QTest::qWaitFor([menu] { return menu->isVisible(); }, 5000)) return nullptr;
        return menu;
    }

private slots:
    void initTestCase() {
        // A row left selected loads its page in the preview; the browser it starts refuses
        // to run as root in its sandbox, as the program itself knows (main.cpp).
        if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        fSim = std::make_unique<test::TSiteSimulator>();
    }
    void cleanupTestCase() { fSim.reset(); }

    void aStartedSearchFillsTheListAndStopsOnItsOwn() {
        fSim->ClearRequests();
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        PrepareSearch(run, "count37 lamp");
        run.window->actSearch->trigger();
        QVERIFY(run.dialogs.informations.empty());
        QCOMPARE(run.window->actSearch->text(), QString("Stop search"));
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(QTest::qWaitFor([search] { return !search->GetSearching(); }, 30000));
        // The SF bay area is searched with its sub-areas: 37 ads on each page fetched. The
        // last ads reach the list through the main-thread queue, after the run has ended.
        QTRY_COMPARE(run.window->ResultsModel()->rowCount(), 37 * static_cast<int>(fSim->Requests().size()));
        const int rows = run.window->ResultsModel()->rowCount();
        {
            TCLock lock(search->GetCriticalSection());
            QCOMPARE(rows, static_cast<int>(search->GetSearchResults().size()));
        }
        QCOMPARE(run.window->lblResultsCount->text(), QString("Results (%1 found) ").arg(rows));
        const QString caption = run.window->ResultsModel()->index(0, 3).data().toString();
        QVERIFY(!caption.isEmpty() && caption != TResultsModel::cNoEntryText);
        QCOMPARE(run.window->ResultsModel()->index(0, 7).data().toString(), QString("Craigslist"));
        QTRY_COMPARE(run.window->actSearch->text(), QString("Start search"));
        QVERIFY(!run.window->pbSearching->isVisible());
        QVERIFY(run.ExitAndWait());
    }

    // Every Craigslist city answers a "crosspost" search with the same ads: each shows once,
    // naming the other city; "Unfold" gives the copy a row of its own, and a later run at
    // lower prices shows what each price was.
    void anAdFoundInTwoCitiesShowsOnceUnfoldsAndShowsItsPriceDrop() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        const test::TCriteriaControls ui(run.window->Criteria());
        ui.edtKeywords->setPlainText("crosspost count20 lamp");
        ui.cpLocations->SetOpen(true);
        test::Tick(ui.tvLocations, "sacramento");
        test::Tick(ui.tvLocations, "denver, CO");
        ui.cpCategories->SetOpen(true);
        test::Tick(ui.tvCategories, "antiques");
        for (QCheckBox* box : ui.cbSearchIn) box->setChecked(box == ui.cbSearchIn[ssCraigslist]);
        ui.edtPageCount->setValue(1);
        RunToTheEnd(run);
        TSearch* search = run.window->CurrentSearch();
        const TResultsModel& model = *run.window->ResultsModel();

        std::vector<IEntry> folded;
        {
            TCLock lock(search->GetCriticalSection());
            QCOMPARE(static_cast<int>(search->GetSearchResults().size()), 40);
            for (const IEntry& entry : search->GetSearchResults())
                if (entry->IsFolded()) folded.push_back(entry);
        }
        QVERIFY2(folded.size() > 5, qPrintable(QString::number(folded.size())));
        QTRY_COMPARE(model.rowCount(), 40 - static_cast<int>(folded.size()));
        int captionsWithAlsoIn = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            QVERIFY(!model.EntryAt(row)->IsFolded());
            if (model.index(row, TResultsModel::cCaptionColumn).data().toString().contains("  (also in: ")) ++captionsWithAlsoIn;
        }
        QCOMPARE(captionsWithAlsoIn, static_cast<int>(folded.size()));

        const IEntry copy = folded.front();
        IEntry original;
        {
            TCLock lock(search->GetCriticalSection());
            original = search->GetSearchResults().FindByLink(copy->GetDuplicateOf());
        }
        QVERIFY(original);
        QVERIFY(copy->GetLink() != original->GetLink());
        const int originalRow = RowOf(model, original);
        QVERIFY(originalRow >= 0);
        QCOMPARE(model.index(originalRow, TResultsModel::cCaptionColumn).data().toString(),
                 QString::fromStdString(original->GetName() + "  (also in: " + copy->GetLocationString() + ")"));
        QVERIFY(copy->GetLocationString() != original->GetLocationString());

        QMenu* menu = OpenRowMenu(run, originalRow);
        QVERIFY(menu && menu->isVisible());
        QMenu* alsoIn = menu->findChild<QMenu*>("pmAlsoIn");
        QVERIFY(alsoIn && alsoIn->menuAction()->isEnabled());
        QCOMPARE(alsoIn->actions().size(), 1);
        QVERIFY(alsoIn->actions().front()->text().endsWith(QString::fromStdString(": " + copy->GetLink())));
        QAction* unfold = menu->findChild<QAction*>("actUnfold");
        QVERIFY(unfold && unfold->isEnabled());
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(unfold).center());
        QTRY_VERIFY(!menu->isVisible());
        QTRY_COMPARE(model.rowCount(), 41 - static_cast<int>(folded.size()));
        QVERIFY(!copy->IsFolded());
        const int copyRow = RowOf(model, copy);
        QVERIFY(copyRow >= 0);
        QCOMPARE(model.index(copyRow, TResultsModel::cCaptionColumn).data().toString(), QString::fromStdString(copy->GetName()));
        QCOMPARE(model.index(RowOf(model, original), TResultsModel::cCaptionColumn).data().toString(),
                 QString::fromStdString(original->GetName()));

        // A row with nothing folded under it has nothing to unfold.
        menu = OpenRowMenu(run, copyRow);
        QVERIFY(menu && menu->isVisible());
        QVERIFY(!menu->findChild<QAction*>("actUnfold")->isEnabled());
        menu->close();

        std::map<IEntry, std::pair<double, QString>> before;  // price and its text in the list
        for (int row = 0; row < model.rowCount(); ++row)
            before[model.EntryAt(row)] = {model.EntryAt(row)->GetPrice(),
                                          model.index(row, TResultsModel::cPriceColumn).data().toString()};
        fSim->CutPrices(25);
        RunToTheEnd(run);
        fSim->ClearFaults();
        QTRY_COMPARE(model.rowCount(), 41 - static_cast<int>(folded.size()));  // the same ads, nothing new
        int drops = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            const IEntry entry = model.EntryAt(row);
            QVERIFY(before.count(entry));
            const auto& [oldPrice, oldText] = before[entry];
            const QString price = model.index(row, TResultsModel::cPriceColumn).data().toString();
            if (entry->GetPrice() >= oldPrice || oldPrice <= 0) {  // unpriced, or too cheap to cut
                QCOMPARE(price, oldText);
                continue;
            }
            ++drops;
            QVERIFY(entry->GetPriceDropped());
            QCOMPARE(entry->GetPriceWas(), oldPrice);
            QVERIFY2(!oldText.contains("(was") && price.endsWith(" (was " + oldText + ")") &&
                         price.size() > oldText.size() + 7,  // the new price before it
                     qPrintable(price + " / " + oldText));
        }
        QVERIFY(drops > 5);
        QVERIFY(run.ExitAndWait());
    }

    void aSiteThatTurnsTheProgramAwayShowsOnItsBoxAndInTheTray() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        fSim->Block("craigslist", "403");
        PrepareSearch(run, "count5 lamp");
        run.window->actSearch->trigger();
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(QTest::qWaitFor([search] { return !search->GetSearching(); }, 30000));
        const test::TCriteriaControls ui(run.window->Criteria());
        const QRegularExpression problem(
            "^Craigslist answered 403 Forbidden on (\\d+) of \\1 pages?: the site may be blocking this address$");
        QTRY_VERIFY(problem.match(ui.cbSearchIn[ssCraigslist]->toolTip()).hasMatch());
        QVERIFY(!ui.cbSearchIn[ssCraigslist]->icon().isNull());
        QVERIFY(ui.cbSearchIn[ssOodle]->toolTip().isEmpty());
        QVERIFY(problem.match(run.window->TrayBalloonText()).hasMatch());

        fSim->ClearFaults();
        QTRY_COMPARE(run.window->actSearch->text(), QString("Start search"));
        run.window->actSearch->trigger();
        QVERIFY(search->GetSearching());
        QVERIFY(QTest::qWaitFor([search] { return !search->GetSearching(); }, 30000));
        QTRY_VERIFY(ui.cbSearchIn[ssCraigslist]->toolTip().isEmpty());
        QVERIFY(ui.cbSearchIn[ssCraigslist]->icon().isNull());
        QVERIFY(run.ExitAndWait());
    }

    // A run whose every page failed (the proxy is down) is not a run with no news: the tab
    // says how many pages failed and why, also with the unreachable pages' errors off.
    void aRunWithFailedPagesEndsWithASummaryInTheTab() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.session->GetSettings().SetShowUnreachableURLErrors(false);
        run.RouteThroughSimulator(test::FreeLoopbackPort());  // nobody listens there
        PrepareSearch(run, "count5 lamp");
        QVERIFY(!run.window->lblRunFailures->isVisible());
        RunToTheEnd(run);
        QTRY_VERIFY(run.window->lblRunFailures->isVisible());
        const QString summary = run.window->lblRunFailures->text();
        QVERIFY2(QRegularExpression("^Craigslist: (\\d+) of \\1 pages? failed, most often: .*proxy 127\\.0\\.0\\.1:")
                     .match(summary)
                     .hasMatch(),
                 qPrintable(summary));
        QVERIFY2(!summary.contains("craigslist.org") && !summary.contains('?'), qPrintable(summary));

        // Another tab shows its own run's account: none yet.
        run.window->actNewTab->trigger();
        QVERIFY(!run.window->lblRunFailures->isVisible());
        run.window->actPreviousSearch->trigger();
        QVERIFY(run.window->lblRunFailures->isVisible());

        // A whole run clears it.
        run.RouteThroughSimulator(fSim->Port());
        RunToTheEnd(run);
        QTRY_VERIFY(!run.window->lblRunFailures->isVisible());
        QVERIFY(run.ExitAndWait());
    }

    // A From date after the To date would find nothing, silently: the two are swapped, and
    // the user is told.
    void aFromDateAfterTheToDateIsSwappedAndSaidSo() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        PrepareSearch(run, "count5 lamp");
        const test::TCriteriaControls ui(run.window->Criteria());
        const QDate today = QDate::currentDate();
        // The pickers are shown whole in the panel.
        ui.cpMisc->SetOpen(true);
        QTRY_VERIFY(ui.dtpFromDate->isVisible());
        for (QDateTimeEdit* picker : {ui.dtpFromDate, ui.dtpToDate})
            QVERIFY2(picker->width() >= picker->minimumSizeHint().width(),
                     qPrintable(QString("%1 < %2").arg(picker->width()).arg(picker->minimumSizeHint().width())));
        ui.cbFromDate->click();
        ui.cbToDate->click();
        ui.dtpFromDate->setDate(today);
        ui.dtpToDate->setDate(today.addDays(-3));
        RunToTheEnd(run);
        QCOMPARE(run.dialogs.informations, std::vector<std::string>{cDatesSwapped});
        QCOMPARE(ui.dtpFromDate->date(), today.addDays(-3));
        QCOMPARE(ui.dtpToDate->date(), today);
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(search->GetDateFrom() < search->GetDateTo());
        QVERIFY(run.ExitAndWait());
    }

    void theStopButtonEndsARun() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        fSim->AddFault("craigslist", 200, 3000, false, false, 5);  // slow pages keep the run going
        PrepareSearch(run, "count250 chair");
        test::Widget<QSpinBox>(run.window->Criteria(), "edtPageCount")->setValue(3);
        run.window->actSearch->trigger();
        TSearch* search = run.window->CurrentSearch();
        QVERIFY(search->GetSearching());
        run.window->actSearch->trigger();  // now "Stop search"
        QCOMPARE(run.window->actSearch->text(), QString("Start search"));
        QVERIFY(QTest::qWaitFor([search] { return !search->GetSearching(); }, 30000));
        QVERIFY(run.window->ResultsModel()->rowCount() < 250);
        fSim->ClearFaults();
        QVERIFY(run.ExitAndWait());
    }

    // Closing a tab frees its search: its site threads must have let go of it first, whatever
    // moment of the run the close comes at (starting, fetching, merging, finishing).
    void closingTabsOfRunningSearchesAgainAndAgainFreesThemSafely() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.RouteThroughSimulator(fSim->Port());
        fSim->AddFault("craigslist", 200, 150, false, false, 1000);  // a slow site keeps the runs going
        PrepareSearch(run, "count60 lamp");
        const test::TCriteriaControls ui(run.window->Criteria());
        ui.edtPageCount->setValue(3);
        for (QCheckBox* box : ui.cbSearchIn) box->setChecked(true);
        const int searchesBefore = static_cast<int>(run.SearchNames().size());
        for (int round = 0; round < 20; ++round) {
            run.window->actClone->trigger();
            QCOMPARE(run.window->tcTabs->count(), 2);
            TSearch* clone = run.window->CurrentSearch();
            run.window->actSearch->trigger();
            QVERIFY(clone->GetSearching());
            QTest::qWait((round * 37) % 400);  // close at a different moment of the run each time
            run.window->actCloseTab->trigger();
            QCOMPARE(run.window->tcTabs->count(), 1);
            QCOMPARE(static_cast<int>(run.SearchNames().size()), searchesBefore);
        }
        QTest::qWait(300);  // anything still holding a closed search would touch it now
        fSim->ClearFaults();
        QVERIFY(run.ExitAndWait());
    }

    void exitingWhileASearchRunsWaitsAndSavesOnceWithTheResults() {
        test::TempDir profile;
        int seen = 0;
        {
            test::TRun run(profile.Path());
            run.RouteThroughSimulator(fSim->Port());
            fSim->AddFault("/sfc", 200, 2500, false, false, 1);  // the second page keeps the run going
            PrepareSearch(run, "count12 desk");
            run.window->actSearch->trigger();
            TSearch* search = run.window->CurrentSearch();
            QVERIFY(QTest::qWaitFor([&run] { return run.window->ResultsModel()->rowCount() > 0; }, 20000));
            QVERIFY(search->GetSearching());
            seen = run.window->ResultsModel()->rowCount();
            QVERIFY(run.ExitAndWait());
            QCOMPARE(run.window->ExitContinuations(), 1);
            run.window->close();  // again while closing: nothing more happens
            QCOMPARE(run.window->ExitContinuations(), 1);
        }
        fSim->ClearFaults();
        test::TRun again(profile.Path());
        TSearch* search = again.window->CurrentSearch();
        QVERIFY(search);
        int saved = 0;
        {
            TCLock lock(search->GetCriticalSection());
            saved = static_cast<int>(search->GetSearchResults().size());
        }
        // Everything that had arrived was saved; the page in flight at the stop may add its ads.
        QVERIFY2(saved >= seen && saved <= seen + 12, qPrintable(QString("seen %1, saved %2").arg(seen).arg(saved)));
        QCOMPARE(again.window->ResultsModel()->rowCount(), saved);
        QVERIFY(again.ExitAndWait());
    }
};

TRAWLIX_UI_TEST(TestSearchInWindow)
#include "test_search_in_window.moc"
