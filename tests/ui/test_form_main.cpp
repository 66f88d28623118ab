// The main window over a real session in a throw-away profile: tabs, their order as the
// searches' order, refusals before a start, and the exit sequence.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStatusBar>
#include <QTabBar>
#include <QTableView>
#include <QTest>
#include <QTreeWidget>
#include <QStackedWidget>

#include <cstdlib>
#include <memory>

#include "app/platform.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/keyword_syntax.h"
#include "engine/synchronizator.h"
#include "model/entry.h"
#include "model/searches.h"
#include "support/test_support.h"
#include "ui/balloon_hint.h"
#include "ui/criteria_panel.h"
#include "ui/filter_bar.h"
#include "ui/results_list.h"
#include "ui/selection_tree.h"
#include "ui/thumbnails_and_preview.h"
#include "ui/ext_edit.h"
#include "ui/form_settings.h"
#include "ui/whisper_splitter.h"
#include "ui/form_main.h"
#include "ui/qt_main_thread_binding.h"
#include "criteria_controls.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

constexpr const char* cNoSites =
    "You must select at least one website to search in (from the \"Websites to search\" panel in the \"Search "
    "settings\")";

void NameCurrentSearch(TformMain& aWindow, const QString& aName) {
    auto* name = test::Widget<QLineEdit>(aWindow.Criteria(), "edtSearchName");
    name->setFocus();
    name->selectAll();
    QTest::keyClicks(name, aName);
}

// Presses, moves and releases the left button on a splitter handle, as a drag by the user does.
void DragHandle(QSplitterHandle* aHandle, int aToX) {
    const QPoint start(aHandle->width() / 2, aHandle->height() / 2);
    const QPoint startGlobal = aHandle->mapToGlobal(start);
    QMouseEvent press(QEvent::MouseButtonPress, start, startGlobal, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(aHandle, &press);
    // aToX is where the handle's left edge goes, in the splitter's coordinates.
    const QPoint endGlobal(aHandle->parentWidget()->mapToGlobal(QPoint(aToX + start.x(), 0)).x(), startGlobal.y());
    const QPoint end = aHandle->mapFromGlobal(endGlobal);
    QMouseEvent move(QEvent::MouseMove, end, endGlobal, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(aHandle, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, end, endGlobal, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(aHandle, &release);
}

QTreeWidgetItem* FindNode(TSelectionTree* aTree, const QString& aName) {
    for (QTreeWidgetItem* item : aTree->AllItems())
        if (item->text(0) == aName) return item;
    return nullptr;
}

// Ticks a node's mark with the mouse, as a user does, after opening its panel.
void TickNode(TCategoryPanel* aPanel, TSelectionTree* aTree, const QString& aName) {
    aPanel->SetOpen(true);
    QTreeWidgetItem* found = FindNode(aTree, aName);
    QVERIFY(found);
    for (QTreeWidgetItem* parent = found->parent(); parent; parent = parent->parent()) parent->setExpanded(true);
    aTree->scrollToItem(found);
    QTest::mouseClick(aTree->viewport(), Qt::LeftButton, {}, aTree->MarkRect(found).center());
}

void TickCategory(TCriteriaPanel* aPanel, const QString& aName) {
    const test::TCriteriaControls ui(aPanel);
    TickNode(ui.cpCategories, ui.tvCategories, aName);
}

// A shown window whose main-thread queue runs on a clock that the test moves by hand.
struct TShownRunWithClock {
    TShownRunWithClock() {
        Synch().SetClock([this] { return now; });
        run.window->show();
        exposed = QTest::qWaitForWindowExposed(run.window.get());
    }
    ~TShownRunWithClock() { Synch().SetClock({}); }

    test::TempDir profile;
    test::TRun run{profile.Path()};
    std::uint64_t now = 1000;
    bool exposed = false;
};

QImage IconImage(const QIcon& aIcon) { return aIcon.pixmap(16, 16).toImage(); }

QImage PictureImage(const char* aName) { return IconImage(QIcon(QString(":/pictures/") + aName + ".svg")); }

void RememberQuery(TFilterBar* aBar, const QString& aText) {
    aBar->edtFilter->setFocus();
    aBar->edtFilter->selectAll();
    QTest::keyClicks(aBar->edtFilter, aText);
    QTest::keyClick(aBar->edtFilter, Qt::Key_Return);
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

    void theTabBarsArrowsSelectTheNextAndPreviousSearch() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        for (int tab = 0; tab < 11; ++tab) run.window->actNewTab->trigger();
        run.window->resize(500, 600);  // too narrow for twelve tabs: the arrows show
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        QToolButton* left = nullptr;
        QToolButton* right = nullptr;
        for (QToolButton* arrow : run.window->tcTabs->findChildren<QToolButton*>())
            (arrow->objectName() == "ScrollLeftButton" ? left : right) = arrow;
        QVERIFY(left && right);
        QTRY_VERIFY(right->isVisible());
        run.window->tcTabs->setCurrentIndex(5);
        QTest::mouseClick(right, Qt::LeftButton);
        QCOMPARE(run.window->tcTabs->currentIndex(), 6);
        QTest::mouseClick(left, Qt::LeftButton);
        QTest::mouseClick(left, Qt::LeftButton);
        QCOMPARE(run.window->tcTabs->currentIndex(), 4);
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

    // Ctrl+W, the toolbar and the menu ask too when the search would take results or
    // favourites (with their notes) with it; an empty search closes unasked.
    void closingASearchWithDataAsksWhicheverWayItIsClosed() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        const auto entry = [](const std::string& aLink) {
            return std::make_shared<TEntry>(ssCraigslist, "Dec 9", "lamp", aLink, 10, "", "", false, 0, 0, "", "", "");
        };
        const auto addTab = [&run](const QString& aName) {
            run.window->actNewTab->trigger();
            NameCurrentSearch(*run.window, aName);
            return run.window->CurrentSearch();
        };
        addTab("with results")->AddSearchResult(entry("http://sfbay.craigslist.org/bik/1001.html"));
        TSearch* withFavourite = addTab("with a favorite");
        withFavourite->AddFavourite(std::make_shared<TFavourite>(*entry("http://sfbay.craigslist.org/bik/1002.html"), "call"));
        addTab("empty");
        QCOMPARE(run.window->tcTabs->count(), 4);
        // An untitled search is named as its tab is.
        run.window->actNextSearch->trigger();
        run.window->CurrentSearch()->AddSearchResult(entry("http://sfbay.craigslist.org/bik/1003.html"));
        run.dialogs.confirmAnswer = false;
        run.window->actCloseTab->trigger();
        QCOMPARE(run.dialogs.confirmations,
                 std::vector<std::string>{"Are you sure you want to close the search \"(Untitled)\"? All its data will be lost."});
        run.dialogs.Clear();
        run.window->actPreviousSearch->trigger();

        run.dialogs.confirmAnswer = false;
        QTest::keyClick(run.window.get(), Qt::Key_W, Qt::ControlModifier);  // "empty"
        QVERIFY(run.dialogs.confirmations.empty());
        QCOMPARE(run.window->tcTabs->count(), 3);
        QCOMPARE(run.window->tcTabs->tabText(run.window->tcTabs->currentIndex()), QString("with a favorite"));
        for (const char* name : {"with a favorite", "with results"}) {
            run.dialogs.Clear();
            run.dialogs.confirmAnswer = false;
            run.window->actCloseTab->trigger();
            const std::string question =
                std::string("Are you sure you want to close the search \"") + name + "\"? All its data will be lost.";
            QCOMPARE(run.dialogs.confirmations, std::vector<std::string>{question});
            QCOMPARE(run.window->tcTabs->count(), name == std::string("with results") ? 2 : 3);  // "No" keeps it
            run.dialogs.confirmAnswer = true;
            run.window->actCloseTab->trigger();
        }
        QCOMPARE(run.window->tcTabs->count(), 1);
        QCOMPARE(run.SearchNames().size(), size_t(1));
        QVERIFY(run.ExitAndWait());
    }

    void startIsRefusedWithoutPlacesOrSitesAndAsksAboutPhrasesWithOr() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        TCriteriaPanel* panel = run.window->Criteria();
        const test::TCriteriaControls ui(panel);
        // Without places the start is not offered; a ZIP code alone is enough.
        QTRY_VERIFY(!run.window->actSearch->isEnabled());
        ui.edtZIPCode->setText("02134");
        QTRY_VERIFY(run.window->actSearch->isEnabled());
        for (QCheckBox* box : ui.cbSearchIn) box->setChecked(false);
        run.window->actSearch->trigger();
        QCOMPARE(run.dialogs.informations, std::vector<std::string>{cNoSites});

        run.dialogs.Clear();
        ui.cbSearchIn[ssCraigslist]->setChecked(true);
        ui.edtKeywords->setPlainText("\"mountain bike\" | bmx");
        panel->FillSearch(*run.window->CurrentSearch(), false);
        run.dialogs.confirmAnswer = false;
        run.window->actSearch->trigger();
        QVERIFY(run.dialogs.informations.empty());
        QCOMPARE(run.dialogs.confirmations.size(), size_t(1));
        QVERIFY(!run.window->CurrentSearch()->GetSearching());
        QCOMPARE(run.window->actSearch->text(), QString("Start search"));

        // A phrase left open warns as well; "No" leaves the keywords to be fixed.
        run.dialogs.Clear();
        ui.edtKeywords->setPlainText("\"mountain bike");
        panel->FillSearch(*run.window->CurrentSearch(), false);
        run.window->actSearch->trigger();
        QCOMPARE(run.dialogs.confirmations, std::vector<std::string>{kUnbalancedQuoteWarning});
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
        QCOMPARE(run.window->TrayBalloonText(), QString("first error"));
        run.window->OnSearchError(search, "second error");
        QTest::qWait(50);
        QCOMPARE(run.window->StatusBar->text(), QString("first error"));
        QCOMPARE(run.window->TrayBalloonText(), QString("first error"));
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
            const test::TCriteriaControls ui(panel);
            QTest::mouseClick(ui.tbtnHideCriteria, Qt::LeftButton);
            QVERIFY(run.window->CriteriaCollapsed());
            QVERIFY(ui.pnlLeftPanelHeader->text().isEmpty());
            QVERIFY(ui.pnlLeftSummary->isVisible());
            QVERIFY(!ui.pnlLeftPanelFooter->isVisible());
            QVERIFY(panel->width() < 100);
            QVERIFY(run.session->GetSettings().GetCriteriaHidden());
            QVERIFY(run.ExitAndWait());
        }
        test::TRun again(profile.Path());
        again.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(again.window.get()));
        QVERIFY(again.window->CriteriaCollapsed());
        TCriteriaPanel* panel = again.window->Criteria();
        const test::TCriteriaControls ui(panel);
        const QRect locations = ui.tcCriteriaShortcuts->tabRect(1);
        QTest::mouseClick(ui.tcCriteriaShortcuts, Qt::LeftButton, {}, locations.center());
        QVERIFY(!again.window->CriteriaCollapsed());
        QCOMPARE(ui.pnlLeftPanelHeader->text(), QString("   Search settings"));
        QVERIFY(ui.cpLocations->IsOpen());
        QVERIFY(!ui.cpCriteria->IsOpen());
        QVERIFY(ui.cpSitesToSearch->IsOpen());
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
            QVERIFY(run.orientationAskedAsFirstRun);
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
        QVERIFY(!again.orientationAskedAsFirstRun);  // not as a first start
        QCOMPARE(again.window->Orientation(), orPortrait);
        QCOMPARE(again.window->splitterPreview->orientation(), Qt::Vertical);
        test::TRun::chosenOrientation.reset();
        QVERIFY(again.ExitAndWait());
    }

    void theStatusBarDropsAButtonsHintWhenThePointerLeaves() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        QWidget* button = run.window->findChild<QToolBar*>("ToolBar")->widgetForAction(run.window->actNewTab);
        QVERIFY(button);
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), button->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(button, &enter);
        QCOMPARE(run.window->statusBar()->currentMessage(), QString("Open a new search"));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QCOMPARE(run.window->statusBar()->currentMessage(), QString());
        // Clicked, the button's action runs (here it asks a question) and its hint goes,
        // though the pointer never left the button.
        QWidget* close = run.window->findChild<QToolBar*>("ToolBar")->widgetForAction(run.window->actCloseTab);
        run.window->CurrentSearch()->AddSearchResult(std::make_shared<TEntry>(
            ssCraigslist, "Dec 9", "lamp", "http://sfbay.craigslist.org/bik/1001.html", 10, "", "", false, 0, 0, "", "", ""));
        run.dialogs.confirmAnswer = false;
        QApplication::sendEvent(close, &enter);
        QCOMPARE(run.window->statusBar()->currentMessage(), QString("Close the search"));
        QTest::mouseClick(close, Qt::LeftButton);
        QCOMPARE(run.dialogs.confirmations.size(), size_t(1));
        QCOMPARE(run.window->statusBar()->currentMessage(), QString());
        // A menu item's hint goes with its menu.
        QMenu* searches = run.window->miSearches;
        searches->popup(run.window->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(searches));
        searches->setActiveAction(run.window->actCloseTab);
        QCOMPARE(run.window->statusBar()->currentMessage(), QString("Close the search"));
        searches->hide();
        QCOMPARE(run.window->statusBar()->currentMessage(), QString());
        QVERIFY(run.ExitAndWait());
    }

    // A long name with "&" in it: the tab and the Searches menu show the "&" itself (not a
    // shortcut's underline) and cut the name, whose whole text is the tab's tooltip; neither
    // grows wider than the screen.
    void longNamesAreCutAndAmpersandsShownOnTabsAndInTheMenu() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        const QString name = "Cars & Trucks near the bay " + QString(300, 'x');
        run.window->findChild<QLineEdit*>("edtSearchName")->setText(name);
        QTabBar* tabs = run.window->tcTabs;
        QTRY_VERIFY(tabs->tabText(0).startsWith("Cars && Trucks"));
        QVERIFY(tabs->tabText(0).endsWith(QChar(0x2026)));
        QCOMPARE(tabs->tabToolTip(0), name);
        QVERIFY2(tabs->tabRect(0).width() < 400, qPrintable(QString::number(tabs->tabRect(0).width())));

        QMenu* searches = run.window->miSearches;
        searches->popup(run.window->mapToGlobal(QPoint(10, 10)));
        QVERIFY(QTest::qWaitForWindowExposed(searches));
        QAction* item = searches->actions().back();
        QVERIFY2(item->text().startsWith("Cars && Trucks"), qPrintable(item->text()));
        QVERIFY2(searches->width() < 700, qPrintable(QString::number(searches->width())));
        searches->hide();
        QVERIFY(run.ExitAndWait());
    }

    void helpAndContactShowTheAddressWhenNoBrowserOpens() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        const std::string host = run.session->GetSettings().GetVendorHost();
        QAction* contact = nullptr;
        for (QAction* action : run.window->findChildren<QAction*>())
            if (action->text() == "Contact us") contact = action;
        QVERIFY(contact);
        run.window->actHelp->trigger();
        QCOMPARE(run.openedAddresses, std::vector<std::string>{"http://" + host + "/tutorial.php"});
        QVERIFY(run.dialogs.informations.empty());  // the browser showed it
        run.browserOpens = false;
        contact->trigger();
        run.window->actHelp->trigger();
        QCOMPARE(run.dialogs.informations,
                 (std::vector<std::string>{"No web browser could be opened. The page is at:\nhttp://" + host + "/contact.php",
                                           "No web browser could be opened. The page is at:\nhttp://" + host + "/tutorial.php"}));
        QVERIFY(run.ExitAndWait());
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
            QVERIFY(!run.window->grab().isNull());
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
            "from \"Tools\" -> \"Preferences\" -> \"Alerts\".";
        QTRY_COMPARE(run.dialogs.informations, std::vector<std::string>{message});
        // The page the message names holds the option.
        TformSettings& preferences = run.window->PreferencesWindow();
        QTreeWidgetItem* named = nullptr;
        for (int page = 0; page < preferences.tvSettings->topLevelItemCount(); ++page)
            if (preferences.tvSettings->topLevelItem(page)->text(0) == "Alerts")
                named = preferences.tvSettings->topLevelItem(page);
        QVERIFY(named);
        const int index = preferences.tvSettings->indexOfTopLevelItem(named);
        QCheckBox* option = nullptr;
        for (QCheckBox* box : preferences.pnlMain->widget(index)->findChildren<QCheckBox*>())
            if (box->text() == "Show message box when there are new results") option = box;
        QVERIFY(option);
        QTest::qWait(200);  // the signal stays on: no second message
        QCOMPARE(run.dialogs.informations.size(), size_t(1));
        run.window->actPreviousSearch->trigger();
        QVERIFY(!first->GetNewResultsAvailable().Available);
        QVERIFY(run.ExitAndWait());
    }

    void theEmptySearchHintPointsAtWhatIsMissingUnlessThePanelIsCollapsed() {
        TShownRunWithClock shown;
        QVERIFY(shown.exposed);
        test::TRun& run = shown.run;
        std::uint64_t& now = shown.now;
        TCriteriaPanel* panel = run.window->Criteria();
        const test::TCriteriaControls ui(panel);
        auto shownHint = [&run] {
            const TBalloonHint* balloon = run.window->FastBaloonHint();
            return balloon && balloon->isVisible() ? balloon->Text() : QString();
        };
        QTest::keyClicks(ui.edtKeywords, "a");  // any change checks the hint again
        QCOMPARE(shownHint(), QString("Choose some locations to search in..."));
        // It points a little above the "Locations" panel, centred on it.
        const QPoint tip = run.window->FastBaloonHint()->Tip();
        const QPoint top = ui.cpLocations->mapToGlobal(QPoint(ui.cpLocations->width() / 2, 0));
        QVERIFY(qAbs(tip.x() - top.x()) <= 1);
        QVERIFY(tip.y() < top.y() && tip.y() >= top.y() - 21);
        // The same hint again is the same balloon; it dies 4 s after it was shown.
        const TBalloonHint* first = run.window->FastBaloonHint();
        now += 3000;
        QTest::keyClicks(ui.edtKeywords, "b");
        QCOMPARE(run.window->FastBaloonHint(), first);
        now += 1000;
        QTRY_COMPARE(shownHint(), QString());
        // Its close button closes it; the next change brings it back.
        QTest::keyClicks(ui.edtKeywords, "x");
        QTest::mouseClick(run.window->FastBaloonHint()->CloseButton(), Qt::LeftButton);
        QCOMPARE(shownHint(), QString());
        QTest::keyClicks(ui.edtKeywords, "y");
        QCOMPARE(shownHint(), QString("Choose some locations to search in..."));
        now += 4000;
        QTRY_COMPARE(shownHint(), QString());

        QTest::mouseClick(ui.tbtnHideCriteria, Qt::LeftButton);
        QTest::keyClicks(ui.edtKeywords, "c");
        QCOMPARE(shownHint(), QString());  // not while the panel is collapsed
        run.window->OnCriteriaHideShow();
        ui.edtZIPCode->setText("02134");  // a ZIP code stands for the locations
        QCOMPARE(shownHint(), QString("And then choose the categories to be searched..."));
        TickCategory(panel, "antiques");
        QCOMPARE(shownHint(), QString());  // everything chosen: the balloon goes
        QVERIFY(run.ExitAndWait());
    }

    // A start tip is shown once, ever, and never at a control the user cannot see or use;
    // no balloon at all points off the screen.
    void eachStartTipShowsOnceOnScreenAndNeverAtADisabledControl() {
        test::TempDir profile;
        {
            test::TRun run(profile.Path());
            run.window->resize(1024, 700);
            run.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
            // A button that cannot be used at the moment.
            run.window->actHelp->setEnabled(false);
            QWidget* disabled = run.window->findChild<QToolBar*>("ToolBar")->widgetForAction(run.window->actHelp);
            QVERIFY(disabled && !disabled->isEnabled());
            run.window->ShowFastBaloonHint(disabled, "at a disabled button", 0, 0, 9000);
            // (The first start's hint at the places to choose may be showing.)
            QVERIFY(!run.window->FastBaloonHint() || run.window->FastBaloonHint()->Text() != "at a disabled button");
            run.window->actHelp->setEnabled(true);
            // Whichever tip the draw picks, each shows once and then never again.
            QStringList shown;
            for (int start = 0; start < 5; ++start) {
                run.window->ShowStartTip();
                if (run.window->FastBaloonHint() && run.window->FastBaloonHint()->isVisible()) {
                    shown << run.window->FastBaloonHint()->Text();
                    QTest::mouseClick(run.window->FastBaloonHint()->CloseButton(), Qt::LeftButton);
                }
                QTRY_VERIFY(!run.window->FastBaloonHint() || !run.window->FastBaloonHint()->isVisible());
            }
            QCOMPARE(shown.size(), 2);
            QVERIFY(shown.filter("When you have your search criteria ready").size() == 1);
            QVERIFY(shown.filter("you can setup an alert").size() == 1);
            QCOMPARE(run.session->GetSettings().GetCriteriaSplitterBalloonHintShown(), 1);
            QCOMPARE(run.session->GetSettings().GetAlertsBalloonHintShown(), 1);
            // Off the screen: no balloon.
            run.window->move(20000, 20000);
            TCriteriaPanel* panel = run.window->Criteria();
            const test::TCriteriaControls ui(panel);
            run.window->ShowFastBaloonHint(ui.cpLocations, "off the screen", 0, 0, 9000);
            QVERIFY(!run.window->FastBaloonHint() || run.window->FastBaloonHint()->Text() != "off the screen");
            QVERIFY(run.ExitAndWait());
        }
        test::TRun again(profile.Path());
        again.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(again.window.get()));
        again.window->ShowStartTip();  // remembered across runs
        QVERIFY(!again.window->FastBaloonHint() || !again.window->FastBaloonHint()->isVisible());
        QVERIFY(again.ExitAndWait());
    }

    // At 1024 x 700, with the preview below or beside the results, every control of the
    // results toolbar shows whole, and Caption gets the width the other columns leave.
    void atTheSmallestWindowNothingInTheResultsToolbarIsCutOff() {
        for (const TOrientation orientation : {orPortrait, orLandscape}) {
            test::TRun::chosenOrientation = orientation;
            test::TempDir profile;
            test::TRun run(profile.Path());
            test::TRun::chosenOrientation.reset();
            run.window->resize(1024, 700);
            TResultsList& list = *run.window->ResultsList();
            run.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
            QTest::qWait(50);  // the sizes that wait for the window's final geometry
            QCOMPARE(run.window->Orientation(), orientation);
            QWidget* toolbar = list.Panel15;
            QWidget* results = run.window->gbResults;
            const QRect shownArea = QRect(toolbar->mapTo(results, QPoint(0, 0)), toolbar->size()) & results->rect();
            std::vector<QWidget*> controls{list.btnMarkAllResultsAsOld, list.tbtnEraseResults, list.cbShowFavourites,
                                           run.window->ThumbnailsAndPreview()->cbViewAsThumbnails};
            for (QToolButton* button : toolbar->findChildren<QToolButton*>()) controls.push_back(button);
            for (QWidget* control : controls) {
                const QString name = QString("%1 %2 (orientation %3, %4 of %5 px, toolbar %6 px)")
                                         .arg(control->objectName(), control->property("text").toString())
                                         .arg(orientation)
                                         .arg(control->width())
                                         .arg(control->sizeHint().width())
                                         .arg(toolbar->width());
                QVERIFY2(control->isVisible(), qPrintable(name));
                QVERIFY2(control->width() >= control->sizeHint().width(), qPrintable(name));
                const QRect at(control->mapTo(results, QPoint(0, 0)), control->size());
                QVERIFY2(shownArea.contains(at), qPrintable(name + " is cut off"));
            }
            QHeaderView* header = run.window->lvResults->horizontalHeader();
            int others = 0;
            for (int column = 0; column < header->count(); ++column)
                if (column != 3 && !header->isSectionHidden(column)) others += header->sectionSize(column);
            const int spare = run.window->lvResults->viewport()->width() - others;
            QCOMPARE(header->sectionSize(3), std::max(250, spare));

            // Ticking "Show favorites" moves no control from under the mouse.
            QWidget* thumbnails = run.window->ThumbnailsAndPreview()->cbViewAsThumbnails;
            const QPoint favouritesAt = list.cbShowFavourites->mapTo(results, QPoint(0, 0));
            const QPoint thumbnailsAt = thumbnails->mapTo(results, QPoint(0, 0));
            QTest::mouseClick(list.cbShowFavourites, Qt::LeftButton, {}, QPoint(5, list.cbShowFavourites->height() / 2));
            QVERIFY(list.cbShowFavourites->isChecked());
            QTest::qWait(150);  // the idle rules hide the erase button in the favourites view
            QVERIFY(!list.tbtnEraseResults->isVisible());
            QCOMPARE(list.cbShowFavourites->mapTo(results, QPoint(0, 0)), favouritesAt);
            QCOMPARE(thumbnails->mapTo(results, QPoint(0, 0)), thumbnailsAt);
            QVERIFY(run.ExitAndWait());
        }
    }

    void choosingACategoryWithOptionsAnnouncesThemBriefly() {
        TShownRunWithClock shown;
        QVERIFY(shown.exposed);
        test::TRun& run = shown.run;
        std::uint64_t& now = shown.now;
        // The balloon points at the "More Options" panel, which must be on the screen.
        run.window->setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
        QTest::qWait(20);
        TickCategory(run.window->Criteria(), "for sale");
        const TBalloonHint* balloon = run.window->NewOptionsBalloon();
        QVERIFY(balloon && balloon->isVisible());
        QCOMPARE(balloon->Text(), QString("More options are available..."));
        now += 1999;
        QTest::qWait(20);
        QVERIFY(run.window->NewOptionsBalloon());
        now += 1;
        QTRY_VERIFY(!run.window->NewOptionsBalloon());
        QVERIFY(run.ExitAndWait());
    }

    void theCriteriaSplitterRefusesWidthsBelowTheDesignedOneAndHidesThePanelOnAClick() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->resize(1200, 800);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        auto* splitter = run.window->findChild<TWhisperSplitter*>("splitterCriteria");
        QVERIFY(splitter);
        QSplitterHandle* handle = splitter->handle(1);
        TCriteriaPanel* panel = run.window->Criteria();
        TSettings& settings = run.session->GetSettings();
        const int before = panel->width();
        QVERIFY(before >= TCriteriaPanel::cDesignedWidth);
        struct TDrag {
            int to;
            bool accepted;
        };
        for (const TDrag drag : {TDrag{420, true}, TDrag{200, false}, TDrag{300, false}, TDrag{317, true}, TDrag{100, false}}) {
            const int widthBefore = panel->width();
            DragHandle(handle, drag.to);
            QCOMPARE(panel->width(), drag.accepted ? drag.to : widthBefore);
            if (drag.accepted) QCOMPARE(settings.GetCriteriaPanelWidth(), drag.to);
        }
        QCOMPARE(settings.GetCriteriaPanelWidth(), 317);
        QVERIFY(!run.window->CriteriaCollapsed());  // drags are not clicks

        QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(handle->width() / 2, 10));
        QTRY_VERIFY(run.window->CriteriaCollapsed());
        QCOMPARE(panel->width(), int(TformMain::cCollapsedWidth));
        DragHandle(handle, 500);  // a collapsed panel does not follow the splitter
        QCOMPARE(panel->width(), int(TformMain::cCollapsedWidth));
        QCOMPARE(settings.GetCriteriaPanelWidth(), 317);
        QTest::mouseClick(handle, Qt::LeftButton, {}, QPoint(handle->width() / 2, 10));
        QTRY_VERIFY(!run.window->CriteriaCollapsed());
        QCOMPARE(panel->width(), 317);
        QVERIFY(run.ExitAndWait());
    }

    void aSettingsSaveThatFailsInASplitterHandlerDoesNotEndTheProgram() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->resize(1200, 800);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        // Saving fails from now on, as on a full disk: the settings folder is no folder.
        std::filesystem::rename(profile / "config", profile / "config.away");
        test::WriteFile(profile / "config", "not a folder");
        auto* splitter = run.window->findChild<TWhisperSplitter*>("splitterCriteria");
        QVERIFY(splitter);
        DragHandle(splitter->handle(1), 420);
        DragHandle(splitter->handle(1), 430);
        QCOMPARE(run.session->GetSettings().GetCriteriaPanelWidth(), 430);
        QVERIFY(!run.session->SaveSettings());
        // The searches are still saved at exit.
        QVERIFY(run.ExitAndWait());
    }

    void theCriteriaSplitterLightsUpAndShowsAHandOverItsGrip() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->resize(1200, 800);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        auto* handle = qobject_cast<TWhisperSplitterHandle*>(
            run.window->findChild<TWhisperSplitter*>("splitterCriteria")->handle(1));
        QVERIFY(handle);
        const QRect grip = handle->GripRect();
        QVERIFY(!grip.isEmpty());
        QEnterEvent enter(QPointF(2, 2), handle->mapToGlobal(QPointF(2, 2)), handle->mapToGlobal(QPointF(2, 2)));
        QApplication::sendEvent(handle, &enter);
        QVERIFY(handle->IsHot());
        struct TSpot {
            QPoint at;
            Qt::CursorShape cursor;
        };
        for (const TSpot spot : {TSpot{grip.center(), Qt::PointingHandCursor}, TSpot{QPoint(grip.center().x(), 2), Qt::SplitHCursor}}) {
            QTest::mouseMove(handle, spot.at);
            QCOMPARE(handle->cursor().shape(), spot.cursor);
        }
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(handle, &leave);
        QVERIFY(!handle->IsHot());
        // Painted from the splitter colour to sky blue across the handle.
        const QImage picture = handle->grab().toImage();
        auto near = [](QColor aColor, QColor aWanted) {
            return qAbs(aColor.red() - aWanted.red()) <= 3 && qAbs(aColor.green() - aWanted.green()) <= 3 &&
                   qAbs(aColor.blue() - aWanted.blue()) <= 3;
        };
        QVERIFY(near(picture.pixelColor(0, 2), QColor(176, 209, 255)));
        QVERIFY(near(picture.pixelColor(picture.width() - 1, 2), QColor(166, 202, 240)));
        QVERIFY(run.ExitAndWait());
    }

    void manyRememberedQueriesScrollInsideALimitedFilterBar() {
        test::TempDir profile;
        test::TRun::chosenOrientation = orLandscape;
        test::TRun run(profile.Path());
        test::TRun::chosenOrientation.reset();
        run.window->resize(1200, 800);
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        TFilterBar* bar = run.window->FilterBar();
        QWidget* pnlMain = run.window->findChild<QWidget*>("pnlMain");
        const int oneQueryHeight = [&] {
            RememberQuery(bar, "q0");
            return bar->height();
        }();
        QCOMPARE(bar->height(), bar->gbFilter->height());  // it fits: no limit yet
        for (int query = 1; query < 15; ++query) RememberQuery(bar, QString("q%1").arg(query));
        QCOMPARE(bar->StripCount(), 15);
        for (TOrientation orientation : {orLandscape, orPortrait}) {
            run.window->SetOrientation(orientation);
            run.window->SetSplitterHeightsAndWidths();
            const int limit = orientation == orLandscape
                                  ? pnlMain->height() / 4
                                  : (pnlMain->height() - run.window->pcPreview->height()) / 3;
            QTRY_COMPARE(bar->height(), limit);
            QVERIFY(bar->gbFilter->height() > limit);
            QVERIFY(bar->fScrollBox->verticalScrollBar()->maximum() > 0);  // the rest is reached by scrolling
        }
        while (bar->StripCount() > 1) QTest::mouseClick(bar->Strip(0)->fButton, Qt::LeftButton);
        QCOMPARE(bar->height(), oneQueryHeight);
        QVERIFY(run.ExitAndWait());
    }

    void tabsSpinWhileTheirSearchRunsAndShowNewResults() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->actNewTab->trigger();
        TSearch* first = run.window->TabSearch(0);
        QTabBar* tabs = run.window->tcTabs;
        QTRY_COMPARE(IconImage(tabs->tabIcon(0)), PictureImage("tab_idle"));
        std::vector<QImage> frames;
        for (int frame = 0; frame <= 30; ++frame)
            frames.push_back(PictureImage(QString("tab_frame_%1").arg(frame, 2, 10, QChar('0')).toUtf8().constData()));
        auto frameShown = [&frames, tabs] {
            return int(std::find(frames.begin(), frames.end(), IconImage(tabs->tabIcon(0))) - frames.begin());
        };
        first->SetSearching(true);
        QTRY_VERIFY(frameShown() < int(frames.size()));
        const int spinning = frameShown();
        QTRY_COMPARE(frameShown(), (spinning + 1) % int(frames.size()));  // the next frame follows
        QCOMPARE(IconImage(tabs->tabIcon(1)), PictureImage("tab_idle"));
        first->SetNewResultsAvailable({true, 1});
        QTRY_COMPARE(IconImage(tabs->tabIcon(0)), PictureImage("tab_new_results"));
        QTRY_COMPARE(run.window->TrayBalloonText(), QString("There are new results available."));
        QCOMPARE(IconImage(run.window->TrayIcon->icon()), PictureImage("tray_new_results"));
        first->SetSearching(false);
        run.window->actPreviousSearch->trigger();  // selecting the tab clears its signal
        QTRY_COMPARE(IconImage(tabs->tabIcon(0)), PictureImage("tab_idle"));
        QTRY_COMPARE(IconImage(run.window->TrayIcon->icon()), PictureImage("trawlix"));
        QCOMPARE(run.window->TrayBalloonText(), QString());
        QVERIFY(run.ExitAndWait());
    }

    void minimizingHidesInTheTrayWhenTheSettingsSaySo() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        const QString minimized =
            "Trawlix was minimized to tray.\r\nDouble-click the binocular icon to bring it back to front.";
        run.session->GetSettings().SetMinimizeToTray(true);
        run.window->TrayAvailable = [] { return true; };
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        QMenu* trayMenu = run.window->TrayIcon->contextMenu();
        QVERIFY(trayMenu);
        QCOMPARE(trayMenu->actions().size(), 2);
        QCOMPARE(trayMenu->actions().at(1)->text(), QString("Exit (Alt+Q)"));
        QTRY_COMPARE(run.window->pmTrayHideShow->text(), QString("Hide"));
        QVERIFY(run.window->pmTrayHideShow->isVisible());

        run.window->showMinimized();
        QTRY_VERIFY(!run.window->isVisible());
        QCOMPARE(run.window->TrayBalloonText(), minimized);
        QTRY_COMPARE(run.window->pmTrayHideShow->text(), QString("Show"));
        run.window->pmTrayHideShow->trigger();
        QVERIFY(run.window->isVisible());

        // The balloon about the tray comes once a run.
        run.window->ShowTrayBalloon("something else", QSystemTrayIcon::Information, 3000);
        run.window->showMinimized();
        QTRY_VERIFY(!run.window->isVisible());
        QCOMPARE(run.window->TrayBalloonText(), QString("something else"));
        emit run.window->TrayIcon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(run.window->isVisible());

        // Without the setting a minimized window stays on the task bar and the tray item is hidden.
        run.session->GetSettings().SetMinimizeToTray(false);
        run.window->showMinimized();
        QTest::qWait(50);
        QVERIFY(run.window->isVisible());
        QTRY_VERIFY(!run.window->pmTrayHideShow->isVisible());
        QVERIFY(run.ExitAndWait());
    }

    // A desktop without a tray has no way back from a hidden window: "Minimize to tray" then
    // minimises as usual.
    void withoutATrayMinimizingKeepsTheWindowOnTheTaskBar() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.session->GetSettings().SetMinimizeToTray(true);
        run.window->TrayAvailable = [] { return false; };
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        run.window->showMinimized();
        QTRY_VERIFY(run.window->isMinimized());
        QCoreApplication::processEvents();  // where the hiding would have been done
        QVERIFY(run.window->isVisible());
        QCOMPARE(run.window->TrayBalloonText(), QString());
        QVERIFY(run.ExitAndWait());
    }

    void aCloneShowsTheOriginalsMarksAndKeepsItsOwnAfterwards() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
        TCriteriaPanel* panel = run.window->Criteria();
        const test::TCriteriaControls ui(panel);
        TickNode(ui.cpLocations, ui.tvLocations, "SF bay area");
        TickCategory(panel, "antiques");
        run.window->actClone->trigger();
        QCOMPARE(run.window->tcTabs->currentIndex(), 1);
        QCOMPARE(TSelectionTree::GetMark(FindNode(ui.tvLocations, "SF bay area")), int(nmChecked));
        QCOMPARE(TSelectionTree::GetMark(FindNode(ui.tvCategories, "antiques")), int(nmChecked));
        // Unticking in the clone leaves the original's marks alone.
        TickNode(ui.cpLocations, ui.tvLocations, "SF bay area");
        QCOMPARE(TSelectionTree::GetMark(FindNode(ui.tvLocations, "SF bay area")), int(nmUnchecked));
        run.window->actPreviousSearch->trigger();
        QCOMPARE(TSelectionTree::GetMark(FindNode(ui.tvLocations, "SF bay area")), int(nmChecked));
        run.window->actNextSearch->trigger();
        QCOMPARE(TSelectionTree::GetMark(FindNode(ui.tvLocations, "SF bay area")), int(nmUnchecked));
        QVERIFY(run.ExitAndWait());
    }

    void cloningAddsATabWithTheSameCriteria() {
        test::TempDir profile;
        test::TRun run(profile.Path());
        NameCurrentSearch(*run.window, "original");
        auto* keywords = test::Widget<QPlainTextEdit>(run.window->Criteria(), "edtKeywords");
        keywords->setPlainText("honda civic");
        run.window->actClone->trigger();
        QCOMPARE(run.dialogs.warnings, std::vector<std::string>{});
        QCOMPARE(run.window->tcTabs->count(), 2);
        QCOMPARE(run.window->tcTabs->currentIndex(), 1);
        QCOMPARE(run.window->tcTabs->tabText(1), QString("(Cloned search)"));
        QCOMPARE(keywords->toPlainText(), QString("honda civic"));
        QCOMPARE(run.SearchNames(), (std::vector<std::string>{"original", "(Cloned search)"}));
        QVERIFY(run.ExitAndWait());
    }
};

TRAWLIX_UI_TEST(TestFormMain)
#include "test_form_main.moc"
