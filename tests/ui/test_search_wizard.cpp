// The search wizard driven through its real buttons and keys inside the window: it makes
// the same search as the criteria panel, copies another search's marks, edits only what
// was changed, and Escape leaves everything as it was.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>

#include "app/settings.h"
#include "app/settings_file.h"
#include "model/search.h"
#include "support/test_support.h"
#include "ui/criteria_panel.h"
#include "ui/form_search_wizard.h"
#include "criteria_controls.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

// What a search asks the sites for, as one comparable text.
QString Describe(const TSearch& aSearch) {
    QStringList parts{QString::fromStdString(aSearch.GetKeywords())};
    for (const TPlace* place : aSearch.GetCompressedLocations()) parts << "L:" + QString::fromStdString(place->GetName());
    for (const TPlace* place : aSearch.GetCategories()) parts << "C:" + QString::fromStdString(place->GetName());
    parts << QString("pages %1 distance %2 image %3 titles %4 catlist %5 from %6 to %7 last %8/%9 clear %10 zip '%11'")
                 .arg(aSearch.GetPagesCount())
                 .arg(aSearch.GetDistance())
                 .arg(aSearch.GetHasImage())
                 .arg(aSearch.GetOnlySearchTitles())
                 .arg(aSearch.GetOnlyCatListings())
                 .arg(aSearch.GetDateFrom())
                 .arg(aSearch.GetDateTo())
                 .arg(aSearch.GetDoSearchLastDays())
                 .arg(aSearch.GetNumberOfLastDaysToSearch())
                 .arg(aSearch.GetClearOldResults())
                 .arg(QString::fromStdString(aSearch.GetZIPCode()));
    for (int site = 0; site < cSiteSearchCount; ++site) {
        TBaseSiteSearch* siteSearch = const_cast<TSearch&>(aSearch).GetSiteSearch(static_cast<TSiteSearchEnum>(site));
        parts << QString("site%1 %2").arg(site).arg(siteSearch && siteSearch->GetDoSearch());
    }
    return parts.join(" | ");
}

// The wizard's controls, found by name once it exists.
struct TWizardControls {
    TformSearchWizard* wizard;
    template <class T>
    T* Find(const char* aName) const { return test::Widget<T>(wizard, aName); }
    QPlainTextEdit* Keywords() const { return Find<QPlainTextEdit>("edtKeywords"); }
    TSelectionTree* Locations() const { return Find<TSelectionTree>("tvLocations"); }
    TSelectionTree* Categories() const { return Find<TSelectionTree>("tvCategories"); }
    QPushButton* Button(const char* aName) const { return Find<QPushButton>(aName); }
    QCheckBox* Box(const char* aName) const { return Find<QCheckBox>(aName); }
    void Click(const char* aName) const { QTest::mouseClick(Button(aName), Qt::LeftButton); }
};

// Runs aSteps inside the wizard once it is on the screen, while aOpen opens it modally.
void InWizard(test::TRun& aRun, const std::function<void()>& aOpen, const std::function<void(TWizardControls&)>& aSteps) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
        auto* wizard = aRun.window->findChild<TformSearchWizard*>();
        QVERIFY(wizard && wizard->isVisible());
        TWizardControls ui{wizard};
        ran = true;
        aSteps(ui);
        if (wizard->isVisible()) wizard->reject();  // a failed step must not leave the test blocked
    });
    aOpen();
    QVERIFY(ran);
}

int MarkOf(TSelectionTree* aTree, const char* aName) {
    for (QTreeWidgetItem* item : aTree->AllItems())
        if (item->text(0) == aName) return TSelectionTree::GetMark(item);
    return 0;
}

void SetPages(QSpinBox* aBox, int aPages) {
    aBox->setFocus();
    aBox->selectAll();
    QTest::keyClicks(aBox, QString::number(aPages));
}

// A search for antiques in the SF bay area on Craigslist, three pages, made in the panel.
TSearch* PanelSearch(test::TRun& aRun, const QString& aKeywords) {
    aRun.session->GetSettings().SetShowSearchWizzard(false);
    aRun.window->actNewTab->trigger();
    test::FillAntiquesSearch(aRun.window->Criteria(), aKeywords, 3);
    TSearch* search = aRun.window->CurrentSearch();
    aRun.window->Criteria()->FillSearch(*search, true);
    return search;
}

// A fresh profile with the main window on the screen.
struct TShownWindow {
    test::TempDir profile;
    test::TRun run{profile.Path()};

    TShownWindow() {
        run.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(run.window.get()));
    }
};

// The window on the screen with an "oak lamp" search made in its panel, and how that search
// read before the wizard came.
struct TShownSearch : TShownWindow {
    TSearch* search = PanelSearch(run, "oak lamp");
    const QString before = Describe(*search);
};

}  // namespace

class TestSearchWizard : public QObject {
    Q_OBJECT

private slots:
    // The first start (nothing kept yet) leads to a first search: with "Show search wizard"
    // on, the wizard opens on the new empty search; cancelled, the empty search stays.
    void theFirstStartOpensTheWizardOnTheEmptySearch() {
        test::TempDir profile;
        {
            std::filesystem::create_directories(profile.Path() / "config");
            TSettingsFile settings(profile.Path() / "config" / "settings.conf");
            settings.WriteBool("ShowSearchWizzard", true);
            settings.Save();
        }
        bool shown = false;
        test::TRun run(profile.Path());
        QTimer::singleShot(0, [&] {
            auto* wizard = run.window->findChild<TformSearchWizard*>();
            shown = wizard && wizard->isVisible();
            if (shown) wizard->reject();
        });
        QTRY_VERIFY(shown);
        QCOMPARE(run.SearchNames().size(), size_t(1));

        // The wizard is kept; what was typed into its place search is not.
        for (const char* typed : {"oak", ""}) {
            InWizard(run, [&] { run.window->actWizzard->trigger(); }, [&](TWizardControls& ui) {
                auto* placeSearch = ui.Find<QLineEdit>("edtSearchLocations");
                QCOMPARE(placeSearch->text(), QString());
                placeSearch->setText(typed);
            });
        }
        QVERIFY(run.window->CurrentSearch());
        QVERIFY(run.ExitAndWait());
    }

    void theWizardMakesTheSearchThePanelMakes() {
        TShownWindow shown;
        test::TRun& run = shown.run;
        const QString panelMade = Describe(*PanelSearch(run, "oak lamp"));
        run.session->GetSettings().SetShowSearchWizzard(true);
        const size_t before = run.SearchNames().size();
        InWizard(run, [&] { run.window->actNewTab->trigger(); }, [&](TWizardControls& ui) {
            QVERIFY(!ui.Button("btnFinish")->isEnabled());  // nothing marked yet
            QTest::keyClicks(ui.Keywords(), "oak lamp");
            ui.Click("btnNext");
            // Next refuses to leave the trees without marks, and says why.
            ui.Click("btnNext");
            QCOMPARE(run.dialogs.warnings.back(), std::string("There are no locations selected."));
            test::Tick(ui.Locations(), "SF bay area");
            test::Tick(ui.Categories(), "antiques");
            QVERIFY(ui.Button("btnFinish")->isEnabled());
            // Back and Next keep what was entered.
            ui.Click("btnBack");
            QCOMPARE(ui.Keywords()->toPlainText(), QString("oak lamp"));
            ui.Click("btnNext");
            QCOMPARE(MarkOf(ui.Locations(), "SF bay area"), int(nmChecked));
            QTest::keyClick(ui.wizard, Qt::Key_Return);  // Enter moves on while Next can
            for (const char* site : {"cbSearchInBackpage", "cbSearchInOodle", "cbSearchInEBay", "cbSearchInCarsCom",
                                     "cbSearchInAutotrader"})
                QTest::keyClick(ui.Box(site), Qt::Key_Space);
            SetPages(ui.Find<QSpinBox>("edtPageCount"), 3);
            QTest::mouseClick(ui.Box("cbStartSearch"), Qt::LeftButton);  // no run: no sites here
            QTest::keyClick(ui.wizard, Qt::Key_Return);  // Enter finishes on the last page
        });
        QCOMPARE(run.SearchNames().size(), before + 1);
        TSearch* made = run.window->CurrentSearch();
        QCOMPARE(Describe(*made), panelMade);
        QVERIFY(run.session->GetSettings().GetShowSearchWizzard());
    }

    void chooseSearchCopiesTheMarksOfAnotherSearch() {
        TShownWindow shown;
        test::TRun& run = shown.run;
        TSearch* other = PanelSearch(run, "chair");
        other->SetName("Antiques in SF");
        run.session->GetSettings().SetShowSearchWizzard(true);
        InWizard(run, [&] { run.window->actNewTab->trigger(); }, [&](TWizardControls& ui) {
            ui.Click("btnNext");
            QTimer::singleShot(0, [&] {
                TformChooseSearch& choose = ui.wizard->ChooseSearchDialog();
                QVERIFY(choose.isVisible());
                auto* list = test::Widget<QComboBox>(&choose, "cboxSearches");
                list->setCurrentIndex(list->findText("Antiques in SF"));
                QTest::mouseClick(test::Widget<QPushButton>(&choose, "btnOk"), Qt::LeftButton);
            });
            ui.Click("btnCopyFromAnotherAd");
            QCOMPARE(MarkOf(ui.Locations(), "SF bay area"), int(nmChecked));
            QCOMPARE(MarkOf(ui.Categories(), "antiques"), int(nmChecked));
            QVERIFY(ui.Keywords()->toPlainText().isEmpty());  // only the marks are copied
            ui.Click("btnFinish");
        });
        TSearch* made = run.window->CurrentSearch();
        QVERIFY(made != other);
        QCOMPARE(made->GetCompressedLocations(), other->GetCompressedLocations());
        QCOMPARE(made->GetCategories(), other->GetCategories());
    }

    void onAnExistingSearchOnlyTheEditedFieldChanges() {
        TShownSearch shown;
        test::TRun& run = shown.run;
        TSearch* search = shown.search;
        const QString& before = shown.before;
        InWizard(run, [&] { run.window->actWizzard->trigger(); }, [&](TWizardControls& ui) {
            QCOMPARE(ui.wizard->windowTitle(), QString("Modify search"));
            QCOMPARE(MarkOf(ui.Locations(), "SF bay area"), int(nmChecked));
            ui.Click("btnNext");
            ui.Click("btnNext");
            QCOMPARE(ui.Find<QSpinBox>("edtPageCount")->value(), 3);
            SetPages(ui.Find<QSpinBox>("edtPageCount"), 5);
            QTest::mouseClick(ui.Box("cbStartSearch"), Qt::LeftButton);
            ui.Click("btnFinish");
        });
        QCOMPARE(run.window->CurrentSearch(), search);
        QString expected = before;
        expected.replace("pages 3 ", "pages 5 ");
        QCOMPARE(Describe(*search), expected);
        // The panel shows the search as the wizard left it.
        QCOMPARE(test::TCriteriaControls(run.window->Criteria()).edtPageCount->value(), 5);
    }

    void escapeLeavesTheSearchAsItWas() {
        TShownSearch shown;
        test::TRun& run = shown.run;
        TSearch* search = shown.search;
        const QString& before = shown.before;
        run.dialogs.Clear();
        InWizard(run, [&] { run.window->actWizzard->trigger(); }, [&](TWizardControls& ui) {
            QTest::keyClicks(ui.Keywords(), " table");
            ui.Click("btnNext");
            QTest::mouseClick(ui.Locations()->viewport(), Qt::LeftButton, {},
                              ui.Locations()->MarkRect(ui.Locations()->currentItem() ? ui.Locations()->currentItem()
                                                                                     : ui.Locations()->topLevelItem(0))
                                  .center());
            ui.Locations()->setFocus();
            QTest::keyClick(ui.Locations(), Qt::Key_Escape);
            QVERIFY(!ui.wizard->isVisible());
        });
        QVERIFY(run.dialogs.confirmations.empty());  // Escape asks nothing
        QCOMPARE(Describe(*search), before);
        QCOMPARE(test::TCriteriaControls(run.window->Criteria()).edtKeywords->toPlainText(), QString("oak lamp"));
    }

    // On the last page every site box has room for its whole caption, and a click at its
    // middle, sent through the window as a user's would be, ticks it; a second one unticks it.
    void aClickOnEverySiteBoxTicksIt() {
        TShownSearch shown;
        test::TRun& run = shown.run;
        InWizard(run, [&] { run.window->actWizzard->trigger(); }, [&](TWizardControls& ui) {
            ui.Click("btnNext");
            ui.Click("btnNext");
            for (const char* name : {"cbSearchInCraigslist", "cbSearchInBackpage", "cbSearchInOodle", "cbSearchInEBay",
                                     "cbSearchInCarsCom", "cbSearchInAutotrader"}) {
                QCheckBox* box = ui.Box(name);
                QVERIFY2(box->isVisible(), name);
                QVERIFY2(box->width() >= box->sizeHint().width() && box->height() >= box->sizeHint().height(), name);
                const bool before = box->isChecked();
                QTest::mouseClick(box, Qt::LeftButton);
                QVERIFY2(box->isChecked() != before, name);
                QTest::mouseClick(box, Qt::LeftButton);
                QVERIFY2(box->isChecked() == before, name);
            }
        });
    }
};

TRAWLIX_UI_TEST(TestSearchWizard)
#include "test_search_wizard.moc"
