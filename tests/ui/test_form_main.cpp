// The main window over a real session in a throw-away profile: tabs, their order as the
// searches' order, refusals before a start, and the exit sequence.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QToolTip>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTabBar>
#include <QTest>

#include <cstdlib>
#include <memory>

#include "app/platform.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/synchronizator.h"
#include "model/entry.h"
#include "model/searches.h"
#include "support/test_support.h"
#include "ui/criteria_panel.h"
#include "ui/form_main.h"
#include "ui/qt_main_thread_binding.h"
#include "ui_test_support.h"

using namespace trawlix;

namespace {

constexpr const char* cNoSites =
    "You must select at least one website to search in (from the \"Websites to search\" panel in the \"Search "
    "settings\")";

void NameCurrentSearch(TformMain& aWindow, const QString& aName) {
    QLineEdit* name = aWindow.Criteria()->edtSearchName;
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, aName);
}

}  // namespace

class TestFormMain : public QObject {
    Q_OBJECT

private slots:
    void aFirstStartOpensOneEmptySearch() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        QCOMPARE(run.window->tcTabs->count(), 1);
        QCOMPARE(run.window->tcTabs->tabText(0), QString("(Untitled)"));
        QCOMPARE(run.window->windowTitle(), QString("Trawlix, version 8.53"));
        QCOMPARE(run.SearchNames().size(), size_t(1));
        QVERIFY(run.ExitAndWait());
    }

    void theTabOrderBecomesTheSearchOrderAtExit() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            NameCurrentSearch(*run.window, "first");
            run.window->actNewTab->trigger();
            NameCurrentSearch(*run.window, "second");
            run.window->actNewTab->trigger();
            NameCurrentSearch(*run.window, "third");
            QCOMPARE(run.window->tcTabs->count(), 3);
            QCOMPARE(run.window->tcTabs->tabText(0), QString("first"));  // saved on leaving the tab
            run.window->tcTabs->moveTab(2, 0);  // as a drag does
            QVERIFY(run.ExitAndWait());
            QCOMPARE(run.window->ExitContinuations(), 1);
        }
        test::TRun again(profile.Path());
        QCOMPARE(again.SearchNames(), (std::vector<std::string>{"third", "first", "second"}));
        QCOMPARE(again.window->tcTabs->tabText(0), QString("third"));
        QCOMPARE(again.window->tcTabs->tabText(2), QString("second"));
        QVERIFY(again.ExitAndWait());
    }

    void closingTheLastTabExitsAndSavesNoSearch() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            run.window->actNewTab->trigger();
            QCOMPARE(run.window->tcTabs->count(), 2);
            run.window->actCloseTab->trigger();
            QCOMPARE(run.window->tcTabs->count(), 1);
            QVERIFY(!run.window->ExitInProgress());
            run.window->actCloseTab->trigger();
            QVERIFY(run.window->ExitInProgress());
            QVERIFY(QTest::qWaitFor([&run] { return run.binding->IsTerminating(); }, 20000));
            // A second close while the exit runs does nothing.
            run.window->close();
            QCOMPARE(run.window->ExitContinuations(), 1);
        }
        test::TRun again(profile.Path());
        QCOMPARE(again.SearchNames().size(), size_t(1));  // the new empty search of a start without any
        QVERIFY(again.ExitAndWait());
    }

    void ctrlPageDownOnTheLastTabSelectsTheFirst() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->actNewTab->trigger();
        run.window->actNewTab->trigger();
        QCOMPARE(run.window->tcTabs->currentIndex(), 2);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        QTest::keyClick(run.window.get(), Qt::Key_PageDown, Qt::ControlModifier);
        QCOMPARE(run.window->tcTabs->currentIndex(), 0);
        QTest::keyClick(run.window.get(), Qt::Key_PageUp, Qt::ControlModifier);
        QCOMPARE(run.window->tcTabs->currentIndex(), 2);
        QVERIFY(run.ExitAndWait());
    }

    void closingFromTheTabMenuAsksFirst() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->actNewTab->trigger();
        NameCurrentSearch(*run.window, "bikes");
        run.window->actNextSearch->trigger();
        run.window->actNextSearch->trigger();  // back to "bikes": its name was copied on leaving
        QAction* closeFromMenu = nullptr;
        for (QAction* action : run.window->tcTabs->actions())
            if (action->text() == "Close search") closeFromMenu = action;
        QVERIFY(closeFromMenu);
        run.dialogs.confirmAnswer = false;
        closeFromMenu->trigger();
        QCOMPARE(run.dialogs.confirmations,
                 std::vector<std::string>{"Are you sure you want to close the search \"bikes\"? All its data will be lost."});
        QCOMPARE(run.window->tcTabs->count(), 2);
        run.dialogs.confirmAnswer = true;
        closeFromMenu->trigger();
        QCOMPARE(run.window->tcTabs->count(), 1);
        QCOMPARE(run.SearchNames().size(), size_t(1));
        QVERIFY(run.ExitAndWait());
    }

    void startIsRefusedWithoutPlacesOrSitesAndAsksAboutPhrasesWithOr() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TCriteriaPanel* panel = run.window->Criteria();
        // Without places the start is not offered; a ZIP code alone is enough.
        QTRY_VERIFY(!run.window->actSearch->isEnabled());
        panel->edtZIPCode->setText("02134");
        QTRY_VERIFY(run.window->actSearch->isEnabled());
        for (QCheckBox* box : panel->cbSearchIn) box->setChecked(false);
        run.window->actSearch->trigger();
        QCOMPARE(run.dialogs.informations, std::vector<std::string>{cNoSites});

        run.dialogs.Clear();
        panel->cbSearchIn[ssCraigslist]->setChecked(true);
        panel->edtKeywords->setPlainText("\"mountain bike\" | bmx");
        panel->FillSearch(*run.window->CurrentSearch(), false);
        run.dialogs.confirmAnswer = false;
        run.window->actSearch->trigger();
        QVERIFY(run.dialogs.informations.empty());
        QCOMPARE(run.dialogs.confirmations.size(), size_t(1));
        QVERIFY(!run.window->CurrentSearch()->GetSearching());
        QCOMPARE(run.window->actSearch->text(), QString("Start search"));
        QVERIFY(run.ExitAndWait());
    }

    void twoSearchErrorsWithinThePauseShowOnce() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        std::uint64_t now = 1000;
        Synch().SetClock([&now] { return now; });
        TSearch& search = *run.window->CurrentSearch();
        run.window->OnSearchError(search, "first error");
        QTRY_COMPARE(run.window->StatusBar->text(), QString("first error"));
        run.window->OnSearchError(search, "second error");
        QTest::qWait(50);
        QCOMPARE(run.window->StatusBar->text(), QString("first error"));
        now += 3300;  // the pause after a shown error is over
        QTest::qWait(50);
        run.window->OnSearchError(search, "third error");
        QTRY_COMPARE(run.window->StatusBar->text(), QString("third error"));
        Synch().SetClock({});
        QVERIFY(run.ExitAndWait());
    }

    void theCollapsedCriteriaPanelIsRememberedAndOpensOnAShortcut() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            run.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
            TCriteriaPanel* panel = run.window->Criteria();
            QTest::mouseClick(panel->tbtnHideCriteria, Qt::LeftButton);
            QVERIFY(run.window->CriteriaCollapsed());
            QVERIFY(panel->pnlLeftPanelHeader->text().isEmpty());
            QVERIFY(panel->pnlLeftSummary->isVisible());
            QVERIFY(!panel->pnlLeftPanelFooter->isVisible());
            QVERIFY(panel->width() < 100);
            QVERIFY(run.session->GetSettings().GetCriteriaHidden());
            QVERIFY(run.ExitAndWait());
        }
        test::TRun again(profile.Path());
        again.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(again.window.get()));
        QVERIFY(again.window->CriteriaCollapsed());
        TCriteriaPanel* panel = again.window->Criteria();
        const QRect locations = panel->tcCriteriaShortcuts->tabRect(1);
        QTest::mouseClick(panel->tcCriteriaShortcuts, Qt::LeftButton, {}, locations.center());
        QVERIFY(!again.window->CriteriaCollapsed());
        QCOMPARE(panel->pnlLeftPanelHeader->text(), QString("   Search settings"));
        QVERIFY(panel->cpLocations->IsOpen());
        QVERIFY(!panel->cpCriteria->IsOpen());
        QVERIFY(panel->cpSitesToSearch->IsOpen());
        QVERIFY(panel->width() >= TCriteriaPanel::cDesignedWidth);
        QVERIFY(!again.session->GetSettings().GetCriteriaHidden());
        QVERIFY(again.ExitAndWait());
    }

    void theOrientationIsAskedOnceAndKept() {
        test::TempDir profile;
        test::TRun::chosenOrientation = orLandscape;
        {
            test::TRun run(profile.Path());
            QCOMPARE(run.orientationQuestions, 1);
            QCOMPARE(run.window->Orientation(), orLandscape);
            QCOMPARE(run.window->splitterPreview->orientation(), Qt::Horizontal);
            QVERIFY(run.ExitAndWait());
        }
        test::TRun::chosenOrientation = orPortrait;
        test::TRun again(profile.Path());
        QCOMPARE(again.orientationQuestions, 0);
        QCOMPARE(again.window->Orientation(), orLandscape);
        again.window->actChangeOrientation->trigger();  // "Change Orientation" asks again
        QCOMPARE(again.orientationQuestions, 1);
        QCOMPARE(again.window->Orientation(), orPortrait);
        QCOMPARE(again.window->splitterPreview->orientation(), Qt::Vertical);
        test::TRun::chosenOrientation.reset();
        QVERIFY(again.ExitAndWait());
    }

    void aStoredPreviewTooLargeForTheWindowGivesWayToHalfTheArea() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->resize(1000, 800);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        QSplitter* splitter = run.window->splitterPreview;
        const int area = splitter->height() - splitter->handleWidth();
        run.session->GetSettings().SetPreviewPanelHeight(area);  // more than 0.9 of it
        run.window->SetSplitterHeightsAndWidths();
        QVERIFY(qAbs(splitter->sizes().value(1) - area / 2) <= 1);
        run.session->GetSettings().SetPreviewPanelHeight(area / 4);
        run.window->SetSplitterHeightsAndWidths();
        QVERIFY(qAbs(splitter->sizes().value(1) - area / 4) <= 1);
        QVERIFY(run.ExitAndWait());
    }

    // Also writes the two pictures of the window when TRAWLIX_SCREENSHOT_DIR names a folder.
    void theWindowRendersWithThePreviewBelowOrBeside() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TSearch& search = *run.window->CurrentSearch();
        search.SetName("Antiques in the SF bay area");
        const char* titles[] = {"Oak dresser, 1920s", "Brass table lamp", "Victorian mirror", "Tiffany style lamp"};
        for (int r = 0; r < 40; ++r)
            search.AddSearchResult(std::make_shared<TEntry>(
                ssCraigslist, "Mar " + std::to_string(12 - r / 10), titles[r % 4], "http://sfbay.craigslist.org/" +
                std::to_string(r) + ".html", 20.0 * (r + 1), "SF bay area", "antiques", r % 3 == 0, 0, 0.0, "", "", ""));
        run.window->Criteria()->FillControls(search);
        run.window->actNewTab->trigger();
        run.window->actPreviousSearch->trigger();
        run.window->resize(1280, 800);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        QCOMPARE(run.window->lblResultsCount->text(), QString("Results (40 found) "));
        const QString folder = qEnvironmentVariable("TRAWLIX_SCREENSHOT_DIR");
        for (TOrientation orientation : {orPortrait, orLandscape}) {
            run.window->SetOrientation(orientation);
            run.window->SetSplitterHeightsAndWidths();
            QTest::qWait(50);
            const QRect results = run.window->gbResults->geometry();
            const QRect preview = run.window->pcPreview->geometry();
            if (orientation == orPortrait)
                QVERIFY(preview.top() > results.bottom());
            else
                QVERIFY(preview.left() > results.right());
            const QPixmap picture = run.window->grab();
            QVERIFY(!picture.isNull());
            if (!folder.isEmpty())
                QVERIFY(picture.save(folder + (orientation == orPortrait ? "/main_window_portrait.png"
                                                                         : "/main_window_landscape.png")));
        }
        QVERIFY(run.ExitAndWait());
    }

    void newResultsOfAnotherTabAreAnnouncedOnceAndClearedOnSelectingIt() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.session->GetSettings().SetMsgBoxNewResults(true);
        run.session->GetSettings().SetMinimizeToTray(false);
        TSearch* first = run.window->CurrentSearch();
        run.window->actNewTab->trigger();
        first->SetNewResultsAvailable({true, 1});
        const std::string message =
            "There are new results available for one or more of your searches.\r\n\r\nYou can disable this message "
            "from \"Tools\" -> \"Preferences\" -> \"General\".";
        QTRY_COMPARE(run.dialogs.informations, std::vector<std::string>{message});
        QTest::qWait(200);  // the signal stays on: no second message
        QCOMPARE(run.dialogs.informations.size(), size_t(1));
        run.window->actPreviousSearch->trigger();
        QVERIFY(!first->GetNewResultsAvailable().Available);
        QVERIFY(run.ExitAndWait());
    }

    void theEmptySearchHintPointsAtWhatIsMissingUnlessThePanelIsCollapsed() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        TCriteriaPanel* panel = run.window->Criteria();
        QTest::keyClicks(panel->edtKeywords, "a");  // any change checks the hint again
        QTRY_COMPARE(QToolTip::text(), QString("Choose some locations to search in..."));
        QToolTip::hideText();
        QTRY_VERIFY(QToolTip::text().isEmpty());
        QTest::mouseClick(panel->tbtnHideCriteria, Qt::LeftButton);
        QTest::keyClicks(panel->edtKeywords, "b");
        QTest::qWait(100);
        QVERIFY(QToolTip::text().isEmpty());
        run.window->OnCriteriaHideShow();
        panel->edtZIPCode->setText("02134");  // a ZIP code stands for the locations
        QTRY_COMPARE(QToolTip::text(), QString("And then choose the categories to be searched..."));
        QToolTip::hideText();
        QVERIFY(run.ExitAndWait());
    }

    void cloningAddsATabWithTheSameCriteria() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        NameCurrentSearch(*run.window, "original");
        run.window->Criteria()->edtKeywords->setPlainText("honda civic");
        run.window->actClone->trigger();
        QCOMPARE(run.dialogs.warnings, std::vector<std::string>{});
        QCOMPARE(run.window->tcTabs->count(), 2);
        QCOMPARE(run.window->tcTabs->currentIndex(), 1);
        QCOMPARE(run.window->tcTabs->tabText(1), QString("(Cloned search)"));
        QCOMPARE(run.window->Criteria()->edtKeywords->toPlainText(), QString("honda civic"));
        QCOMPARE(run.SearchNames(), (std::vector<std::string>{"original", "(Cloned search)"}));
        QVERIFY(run.ExitAndWait());
    }
};

QTEST_MAIN(TestFormMain)
#include "test_form_main.moc"
