// The criteria panel driven through its real widgets: tree marks, ZIP code, dates,
// option grid, keyword buttons, copying into the search.
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>

#include <optional>

#include "model/filter.h"
#include "model/search.h"
#include "model/zip_codes.h"
#include "sites/site_search_factory.h"
#include "ui/criteria_panel.h"
#include "ui/ext_edit.h"
#include "ui/option_grid.h"
#include "criteria_controls.h"
#include "ui_test_support.h"
#include "ui_test_registry.h"

using namespace trawlix;

namespace {

constexpr const char* cInvalidZIP = "The ZIP code you have entered is invalid. Please fix it or delete it.";
constexpr const char* cPriceRefused = "The maximum price can not be lower than the minimum price. Please fix it.";

}  // namespace

class TestCriteriaPanel : public QObject {
    Q_OBJECT

private:
    TOwnedPlaceList fNodes;
    TPlace* fCountry = nullptr;   // country -> ca (la, sf, sd), ny (nyc)
    TPlace* fCa = nullptr;
    TPlace* fNy = nullptr;
    TPlace* fLa = nullptr;
    TPlace* fSf = nullptr;
    TPlace* fSd = nullptr;
    TPlace* fNyc = nullptr;
    TPlace* fForSale = nullptr;   // for sale (cars, bikes), housing (apts), jobs (it)
    TPlace* fCars = nullptr;
    TPlace* fBikes = nullptr;
    TPlace* fHousing = nullptr;
    TPlace* fApts = nullptr;
    TPlace* fJobs = nullptr;
    TZIPCodes fZIPCodes;
    test::TRecordingDialogs fDialogs;
    std::unique_ptr<TCriteriaPanel> fPanel;
    std::optional<test::TCriteriaControls> fUi;  // the panel's controls, found by name
    std::unique_ptr<TSearch> fSearch;

    TPlace* Make(int aID, const char* aName, TPlace* aParent) {
        fNodes.push_back(std::make_unique<TPlace>());
        TPlace* place = fNodes.back().get();
        place->SetID(aID);
        place->SetName(aName);
        if (aParent) aParent->AddChild(place);
        return place;
    }

    QTreeWidgetItem* Item(TSelectionTree* aTree, const TPlace* aPlace) { return aTree->ItemOfPlace(aPlace); }
    int Mark(TSelectionTree* aTree, const TPlace* aPlace) { return TSelectionTree::GetMark(Item(aTree, aPlace)); }

    void ClickMark(TSelectionTree* aTree, const TPlace* aPlace) {
        QTreeWidgetItem* item = Item(aTree, aPlace);
        aTree->scrollToItem(item);
        QTest::mouseClick(aTree->viewport(), Qt::LeftButton, {}, aTree->MarkRect(item).center());
    }

    void OpenPanel(TCategoryPanel* aPanel) {
        if (!aPanel->IsOpen()) Click(aPanel->Header());
    }

    // Clicks a control of the accordion after scrolling it into view, as a user would.
    void Click(QWidget* aControl) {
        for (QWidget* parent = aControl->parentWidget(); parent; parent = parent->parentWidget())
            if (auto* scroll = qobject_cast<QScrollArea*>(parent)) scroll->ensureWidgetVisible(aControl);
        QTest::mouseClick(aControl, Qt::LeftButton, {}, QPoint(6, aControl->height() / 2));
    }

    void LeaveZIPCode(const QString& aTyped) {
        OpenPanel(fUi->cpLocations);
        fUi->edtZIPCode->setFocus();
        fUi->edtZIPCode->clear();
        QTest::keyClicks(fUi->edtZIPCode, aTyped);
        QTest::keyClick(fUi->edtZIPCode, Qt::Key_Tab);  // leaves the box
    }

    // Types into the value cell of an option and commits with Enter.
    void TypeOption(const std::string& aName, const QString& aText) {
        TOptionGrid* grid = fUi->vleCustomOptions;
        const int row = grid->RowOfKey(aName);
        QVERIFY2(row >= 0, aName.c_str());
        grid->setFocus();
        grid->setCurrentCell(row, 1);
        grid->editItem(grid->item(row, 1));
        QLineEdit* editor = nullptr;  // closed editors linger until deleted: take the shown one
        for (QLineEdit* line : grid->viewport()->findChildren<QLineEdit*>())
            if (line->isVisible()) editor = line;
        QVERIFY(editor);
        editor->setFocus();
        editor->selectAll();  // typing replaces what the cell shows
        QTest::keyClicks(editor, aText);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();  // the grid commits an edit on its next turn
    }

    QString OptionCell(const std::string& aName) {
        TOptionGrid* grid = fUi->vleCustomOptions;
        const int row = grid->RowOfKey(aName);
        return row < 0 ? QString("<none>") : grid->item(row, 1)->text();
    }

private slots:
    void initTestCase() {
        // As the session does when the program starts: the car sites offer their options.
        InstallSiteSearchFactory();
        fCountry = Make(1, "united states", nullptr);
        fCa = Make(10, "california", fCountry);
        fLa = Make(100, "los angeles", fCa);
        fSf = Make(101, "SF bay area", fCa);
        fSd = Make(102, "san diego", fCa);
        fNy = Make(11, "new york", fCountry);
        fNyc = Make(110, "new york city", fNy);
        fForSale = Make(1000, "for sale", nullptr);
        fCars = Make(1001, "cars+trucks", fForSale);
        fBikes = Make(1002, "bikes", fForSale);
        fHousing = Make(2000, "housing", nullptr);
        fApts = Make(2001, "apts/housing", fHousing);
        fJobs = Make(3000, "jobs", nullptr);
        Make(3001, "software", fJobs);
        fZIPCodes.LoadFromText("02134=42.36;-71.06\n90210=34.09;-118.41\n", "zips");
    }

    void init() {
        fDialogs.Clear();
        fPanel = std::make_unique<TCriteriaPanel>(fDialogs);
        fUi.emplace(fPanel.get());
        fPanel->SetReferenceData({fCountry}, {fForSale, fHousing, fJobs}, &fZIPCodes);
        fPanel->resize(340, 1400);
        fPanel->show();
        QVERIFY(QTest::qWaitForWindowExposed(fPanel.get()));
        fSearch = std::make_unique<TSearch>();
        fPanel->FillControls(*fSearch);
        fUi->tvLocations->expandAll();
        fUi->tvCategories->expandAll();
    }

    void cleanup() {
        fUi.reset();
        fPanel.reset();
        fSearch.reset();
    }

    void checkingTheLastUncheckedChildChecksTheParentAndMarksTheRestPartly() {
        OpenPanel(fUi->cpLocations);
        fUi->tvLocations->expandAll();
        ClickMark(fUi->tvLocations, fLa);
        ClickMark(fUi->tvLocations, fSf);
        QCOMPARE(Mark(fUi->tvLocations, fCa), int(nmPartlyChecked));
        QCOMPARE(Mark(fUi->tvLocations, fCountry), int(nmPartlyChecked));
        ClickMark(fUi->tvLocations, fSd);
        QCOMPARE(Mark(fUi->tvLocations, fCa), int(nmChecked));
        QCOMPARE(Mark(fUi->tvLocations, fCountry), int(nmPartlyChecked));  // new york is still unchecked
        // The search follows the tree at once, compressed to the checked state.
        QCOMPARE(fSearch->GetCompressedLocations(), TPlaceList{fCa});
    }

    void uncheckingOneChildOfAFullyCheckedNodeMakesEveryAncestorPartlyChecked() {
        OpenPanel(fUi->cpLocations);
        fUi->tvLocations->expandAll();
        ClickMark(fUi->tvLocations, fCountry);  // checks the whole subtree
        for (const TPlace* place : {fCountry, fCa, fLa, fSf, fSd, fNy, fNyc})
            QCOMPARE(Mark(fUi->tvLocations, place), int(nmChecked));
        ClickMark(fUi->tvLocations, fSf);
        QCOMPARE(Mark(fUi->tvLocations, fSf), int(nmUnchecked));
        QCOMPARE(Mark(fUi->tvLocations, fCa), int(nmPartlyChecked));
        QCOMPARE(Mark(fUi->tvLocations, fCountry), int(nmPartlyChecked));
        QCOMPARE(Mark(fUi->tvLocations, fLa), int(nmChecked));
        // The cache holds exactly the marked nodes.
        const TLocationsTreeHash* hash = fPanel->LocationsTreeHash(fSearch.get());
        QVERIFY(hash);
        QCOMPARE(hash->size(), size_t(6));
        QCOMPARE(hash->at(fCa), int(nmPartlyChecked));
        QVERIFY(!hash->count(fSf));
        // A partly checked sibling keeps the parent partly checked when another branch is checked again.
        ClickMark(fUi->tvLocations, fNyc);
        ClickMark(fUi->tvLocations, fNyc);
        QCOMPARE(Mark(fUi->tvLocations, fNy), int(nmChecked));
        QCOMPARE(Mark(fUi->tvLocations, fCountry), int(nmPartlyChecked));
    }

    void clickingTheTextSelectsWithoutMarkingAndSpaceToggles() {
        OpenPanel(fUi->cpCategories);
        TSelectionTree* tree = fUi->tvCategories;
        tree->expandAll();
        QTreeWidgetItem* bikes = Item(tree, fBikes);
        const QRect text = tree->visualItemRect(bikes);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(text.right() - 5, text.center().y()));
        QCOMPARE(tree->currentItem(), bikes);
        QCOMPARE(Mark(tree, fBikes), int(nmUnchecked));
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE(Mark(tree, fBikes), int(nmChecked));
        QCOMPARE(Mark(tree, fForSale), int(nmPartlyChecked));
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE(Mark(tree, fForSale), int(nmUnchecked));
    }

    void aSearchsMarksComeBackWhenItIsShownAgain() {
        OpenPanel(fUi->cpLocations);
        fUi->tvLocations->expandAll();
        ClickMark(fUi->tvLocations, fNyc);
        OpenPanel(fUi->cpCategories);
        fUi->tvCategories->expandAll();
        ClickMark(fUi->tvCategories, fCars);
        TSearch other;
        fPanel->FillControls(other);
        QVERIFY(!fUi->tvLocations->HasAnyMark());
        QVERIFY(!fUi->tvCategories->HasAnyMark());
        fPanel->FillControls(*fSearch);
        QCOMPARE(Mark(fUi->tvLocations, fNyc), int(nmChecked));
        QCOMPARE(Mark(fUi->tvLocations, fNy), int(nmChecked));
        QCOMPARE(Mark(fUi->tvLocations, fCountry), int(nmPartlyChecked));
        QCOMPARE(Mark(fUi->tvCategories, fCars), int(nmChecked));
        QCOMPARE(Mark(fUi->tvCategories, fForSale), int(nmPartlyChecked));
        // A search shown for the first time takes its marks from its stored places.
        TSearch stored;
        stored.SetCompressedLocations({fCa});
        stored.SetLocationsChanged(true);
        fPanel->FillControls(stored);
        for (const TPlace* place : {fCa, fLa, fSf, fSd}) QCOMPARE(Mark(fUi->tvLocations, place), int(nmChecked));
        QCOMPARE(Mark(fUi->tvLocations, fCountry), int(nmPartlyChecked));
        QCOMPARE(Mark(fUi->tvLocations, fNyc), int(nmUnchecked));
        fPanel->ForgetSearch(&stored);
        fPanel->ForgetSearch(&other);
    }

    void theZIPCodeIsPaddedOnLeavingAndAnUnknownOneReported_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("known");
        QTest::newRow("padded, known") << "2134" << "02134" << true;
        QTest::newRow("padded, unknown") << "1234" << "01234" << false;
        QTest::newRow("too long stays") << "123456" << "123456" << false;
        QTest::newRow("exact") << "90210" << "90210" << true;
    }

    void theZIPCodeIsPaddedOnLeavingAndAnUnknownOneReported() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(bool, known);
        LeaveZIPCode(typed);
        QCOMPARE(fUi->edtZIPCode->text(), shown);
        QCOMPARE(fSearch->GetZIPCodeObject() != nullptr, known);
        if (known)
            QVERIFY(fDialogs.warnings.empty());
        else
            QCOMPARE(fDialogs.warnings, std::vector<std::string>{cInvalidZIP});
        // The text stays either way, and the search gets it.
        fPanel->FillSearch(*fSearch, false);
        QCOMPARE(QString::fromStdString(fSearch->GetZIPCode()), shown);
    }

    void aZIPCodeAloneCountsAsLocations() {
        bool locations = false;
        bool categories = false;
        fPanel->HasSelectedLocationsAndCategories(fSearch.get(), locations, categories);
        QVERIFY(!locations);
        LeaveZIPCode("02134");
        fPanel->FillSearch(*fSearch, false);
        fPanel->HasSelectedLocationsAndCategories(fSearch.get(), locations, categories);
        QVERIFY(locations);
        QVERIFY(!categories);
    }

    void checkingLastDaysUnchecksBothDatesAndADateUnchecksLastDays() {
        OpenPanel(fUi->cpMisc);
        Click(fUi->cbFromDate);
        Click(fUi->cbToDate);
        QVERIFY(fUi->cbFromDate->isChecked() && fUi->cbToDate->isChecked());
        QVERIFY(fUi->dtpFromDate->isEnabled());
        Click(fUi->cbSearchLastDays);
        QVERIFY(fUi->cbSearchLastDays->isChecked());
        QVERIFY(!fUi->cbFromDate->isChecked());
        QVERIFY(!fUi->cbToDate->isChecked());
        QVERIFY(!fUi->dtpFromDate->isEnabled());
        QVERIFY(fUi->edtLastDays->isEnabled());

        fUi->dtpFromDate->setDateTime(QDateTime(QDate(2001, 1, 1), QTime(0, 0)));
        Click(fUi->cbFromDate);
        QVERIFY(!fUi->cbSearchLastDays->isChecked());
        QVERIFY(!fUi->edtLastDays->isEnabled());
        QVERIFY(qAbs(fUi->dtpFromDate->dateTime().secsTo(QDateTime::currentDateTime())) < 120);
        // Unchecking changes nothing else.
        Click(fUi->cbFromDate);
        QVERIFY(!fUi->cbSearchLastDays->isChecked() && !fUi->cbToDate->isChecked());
    }

    void datesRoundTripThroughTheSearch() {
        OpenPanel(fUi->cpMisc);
        Click(fUi->cbToDate);
        const QDateTime chosen(QDate(2026, 3, 15), QTime(13, 30));
        fUi->dtpToDate->setDateTime(chosen);
        fPanel->FillSearch(*fSearch, false);
        QCOMPARE(fSearch->GetDateFrom(), 0.0);
        QVERIFY(qAbs(fSearch->GetDateTo() - (46096 + 13.5 / 24)) < 1e-6);  // days since 30 Dec 1899
        TSearch other;
        fPanel->FillControls(other);
        QVERIFY(!fUi->cbToDate->isChecked());
        fPanel->FillControls(*fSearch);
        QVERIFY(fUi->cbToDate->isChecked());
        QCOMPARE(fUi->dtpToDate->dateTime(), chosen);
    }

    void theOptionGridShowsDefaultsAsUndefinedAndRefusesAnInvertedPriceRange() {
        QVERIFY(!fUi->pnlNoCustomOptions->isHidden());
        OpenPanel(fUi->cpCategories);
        fUi->tvCategories->expandAll();
        ClickMark(fUi->tvCategories, fBikes);
        QVERIFY(fUi->pnlNoCustomOptions->isHidden());
        OpenPanel(fUi->cpCustomProps);
        QCOMPARE(OptionCell("price_min"), QString("undefined"));
        QCOMPARE(OptionCell("price_max"), QString("undefined"));
        TOptionGrid* grid = fUi->vleCustomOptions;
        QCOMPARE(grid->item(grid->RowOfKey("price_min"), 1)->foreground().color(), QColor(128, 128, 128));

        TypeOption("price_min", "500");
        QCOMPARE(OptionCell("price_min"), QString("500"));
        QCOMPARE(grid->item(grid->RowOfKey("price_min"), 1)->foreground().color(), QColor(Qt::black));
        TypeOption("price_max", "100");
        QCOMPARE(fDialogs.warnings, std::vector<std::string>{cPriceRefused});
        QCOMPARE(OptionCell("price_max"), QString("undefined"));
        QCOMPARE(fSearch->GetPropertyContainer().GetPropByName("price_max")->GetRawValue(), std::string("0"));
        fDialogs.Clear();
        TypeOption("price_max", "12,5e");
        QCOMPARE(fDialogs.warnings, std::vector<std::string>{"\"12,5e\" is not a valid floating point value."});
        fDialogs.Clear();
        TypeOption("price_max", "900");
        QVERIFY(fDialogs.warnings.empty());
        QCOMPARE(fSearch->GetPropertyContainer().GetPropByName("price_max")->AsDouble(), 900.0);
        TypeOption("price_min", " ");  // blank restores the default
        QCOMPARE(OptionCell("price_min"), QString("undefined"));

        // Unchecking the category takes the options and their values away.
        OpenPanel(fUi->cpCategories);
        ClickMark(fUi->tvCategories, fBikes);
        QCOMPARE(grid->rowCount(), 0);
        QVERIFY(!fUi->pnlNoCustomOptions->isHidden());
        QCOMPARE(fSearch->GetPropertyContainer().GetPropByName("price_max"), nullptr);
    }

    void aYesNoOptionOffersYesAndUndefinedAndRefusesOtherTexts() {
        OpenPanel(fUi->cpCategories);
        fUi->tvCategories->expandAll();
        ClickMark(fUi->tvCategories, fApts);
        OpenPanel(fUi->cpCustomProps);
        QCOMPARE(OptionCell("cats"), QString("undefined"));
        TypeOption("cats", "YES");
        QCOMPARE(OptionCell("cats"), QString("yes"));
        QCOMPARE(fSearch->GetPropertyContainer().GetPropByName("cats")->GetRawValue(), std::string("0"));
        TypeOption("bedrooms", "maybe");
        QCOMPARE(fDialogs.warnings, std::vector<std::string>{"\"maybe\" is not a value from the drop-down list."});
        QCOMPARE(OptionCell("bedrooms"), QString("0+"));
    }

    void carSiteOptionsSurviveShowingASearchWithoutThatSite() {
        OpenPanel(fUi->cpSitesToSearch);
        if (!fUi->cbSearchIn[ssCarsCom]->isChecked()) Click(fUi->cbSearchIn[ssCarsCom]);
        OpenPanel(fUi->cpCategories);
        fUi->tvCategories->expandAll();
        ClickMark(fUi->tvCategories, fCars);
        OpenPanel(fUi->cpCustomProps);
        TypeOption("carscom_year_min", "2005");
        fPanel->FillSearch(*fSearch, true);
        TSearch other;
        other.GetSiteSearch(ssCarsCom)->SetDoSearch(false);
        fPanel->FillControls(other);
        fPanel->FillControls(*fSearch);
        QCOMPARE(OptionCell("carscom_year_min"), QString("2005"));
        fPanel->ForgetSearch(&other);
    }

    void keywordButtonsWorkOnTheSelection() {
        QPlainTextEdit* box = fUi->edtKeywords;
        box->setFocus();
        QTest::keyClicks(box, "red  blue");
        box->selectAll();
        Click(fUi->sbtnOR);
        QCOMPARE(box->toPlainText(), QString("red | blue"));

        box->clear();
        Click(fUi->sbtnPhrase);
        QCOMPARE(box->toPlainText(), QString("\"\""));
        QCOMPARE(box->textCursor().position(), 1);
        QTest::keyClicks(box, "old bike");
        QCOMPARE(box->toPlainText(), QString("\"old bike\""));

        box->setPlainText("bike kids");
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(5);
        cursor.setPosition(9, QTextCursor::KeepAnchor);
        box->setTextCursor(cursor);
        Click(fUi->sbtnNot);
        QCOMPARE(box->toPlainText(), QString("bike -kids"));
        box->selectAll();
        Click(fUi->sbtnGroup);
        QCOMPARE(box->toPlainText(), QString("(bike -kids)"));
    }

    void theKeywordBoxGrowsWhileEditedAndShrinksAfterwards() {
        const int small = fUi->edtKeywords->height();
        fUi->edtKeywords->setFocus();
        QTRY_VERIFY(fUi->edtKeywords->height() > small);
        fUi->edtSearchName->setFocus();
        QTRY_COMPARE(fUi->edtKeywords->height(), small);
        // A long line keeps it large.
        fUi->edtKeywords->setPlainText(QString(120, 'k'));
        fUi->edtKeywords->setFocus();
        fUi->edtSearchName->setFocus();
        QTest::qWait(700);
        QVERIFY(fUi->edtKeywords->height() > small);
    }

    void thePatternDialogBuildsTheKeywords() {
        fPanel->KeywordPatternsDialog = [](TKeywordPattern& aPattern) {
            aPattern = {"bike", "mountain bike", "\"big city\"", "", "blue", "kids used"};
            return true;
        };
        Click(fUi->sbtnPredefinedkeywordPatterns);
        QCOMPARE(fUi->edtKeywords->toPlainText(),
                 QString("bike \"mountain bike\" (\"big city\" | blue) -kids -used"));
        QCOMPARE(fSearch->GetOR1(), std::string("(big city)"));
        fPanel->KeywordPatternsDialog = [](TKeywordPattern&) { return false; };  // Cancel changes nothing
        Click(fUi->sbtnPredefinedkeywordPatterns);
        QCOMPARE(fSearch->GetOR1(), std::string("(big city)"));
    }

    void rawCategorySearchDisablesTheKeywordControls() {
        Click(fUi->cbOnlyCatListing);
        for (QWidget* control : std::initializer_list<QWidget*>{fUi->edtKeywords, fUi->cbHasImage, fUi->cbOnlyTitles,
                                                                fUi->sbtnOR, fUi->sbtnPredefinedkeywordPatterns})
            QVERIFY(!control->isEnabled());
        Click(fUi->cbOnlyCatListing);
        QVERIFY(fUi->edtKeywords->isEnabled());
    }

    void aBlankNameIsStoredAsUntitledWithinTheCopyInterval() {
        fSearch->SetName("old name");
        fPanel->FillControls(*fSearch);
        fUi->edtSearchName->setFocus();
        fUi->edtSearchName->selectAll();
        QTest::keyClicks(fUi->edtSearchName, "   ");
        QTest::keyClicks(fUi->edtKeywords, "  |red bike|  ");
        fPanel->TimerFillSearch().start();
        QTRY_COMPARE_WITH_TIMEOUT(fSearch->GetName(), std::string("(Untitled)"), 1000);
        QCOMPARE(fSearch->GetKeywords(), std::string("red bike"));
    }

    void clearAllFieldsKeepsNameZIPDatesAndSites() {
        fUi->edtSearchName->setText("keep me");
        QTest::keyClicks(fUi->edtKeywords, "honda");
        Click(fUi->cbHasImage);
        LeaveZIPCode("02134");
        OpenPanel(fUi->cpMisc);
        Click(fUi->cbFromDate);
        OpenPanel(fUi->cpSitesToSearch);
        Click(fUi->cbSearchIn[ssOodle]);
        const bool oodle = fUi->cbSearchIn[ssOodle]->isChecked();
        OpenPanel(fUi->cpLocations);
        fUi->tvLocations->expandAll();
        ClickMark(fUi->tvLocations, fNyc);

        Click(fUi->sbtnClearAllFields);
        QVERIFY(fUi->edtKeywords->toPlainText().isEmpty());
        QVERIFY(!fUi->cbHasImage->isChecked());
        QVERIFY(!fUi->tvLocations->HasAnyMark());
        QCOMPARE(fUi->edtSearchName->text(), QString("keep me"));
        QCOMPARE(fUi->edtZIPCode->text(), QString("02134"));
        QVERIFY(fUi->cbFromDate->isChecked());
        QCOMPARE(fUi->cbSearchIn[ssOodle]->isChecked(), oodle);
        // Shown again, the search does not get the cleared marks back from its cache.
        fPanel->FillSearch(*fSearch, true);
        TSearch other;
        fPanel->FillControls(other);
        fPanel->FillControls(*fSearch);
        QVERIFY(!fUi->tvLocations->HasAnyMark());
    }

    void siteBoxesAndPagesGoIntoTheSearch() {
        OpenPanel(fUi->cpSitesToSearch);
        for (QCheckBox* box : fUi->cbSearchIn)
            if (box->isChecked()) Click(box);
        QVERIFY(!fPanel->HasSelectedSites());
        Click(fUi->cbSearchIn[ssEBay]);
        QVERIFY(fPanel->HasSelectedSites());
        fUi->edtPageCount->setValue(7);
        fPanel->FillSearch(*fSearch, false);
        QCOMPARE(fSearch->GetPagesCount(), 7);
        for (int site = 0; site < cSiteSearchCount; ++site)
            QCOMPARE(fSearch->GetSiteSearch(static_cast<TSiteSearchEnum>(site))->GetDoSearch(), site == ssEBay);
    }

    void theLocationSearchBoxFindsANodeAndTurnsRedWithoutOne() {
        OpenPanel(fUi->cpLocations);
        fUi->edtSearchLocations->setFocus();
        QTest::keyClicks(fUi->edtSearchLocations, "diego");
        QCOMPARE(fUi->tvLocations->currentItem(), Item(fUi->tvLocations, fSd));
        QCOMPARE(fUi->edtSearchLocations->palette().color(QPalette::Text), QColor(Qt::black));
        QTest::keyClicks(fUi->edtSearchLocations, "x");
        QCOMPARE(fUi->edtSearchLocations->palette().color(QPalette::Text), QColor(Qt::red));
        fUi->edtSearchLocations->clear();
        QTest::keyClicks(fUi->edtSearchLocations, "sf");  // case-sensitive: "SF bay area" does not match
        QCOMPARE(fUi->edtSearchLocations->palette().color(QPalette::Text), QColor(Qt::red));
        // A country shows with capitals, and is still found by its name as stored.
        QTreeWidgetItem* country = Item(fUi->tvLocations, fCountry);
        QCOMPARE(country->text(0), QString("United States"));
        QCOMPARE(Item(fUi->tvLocations, fCa)->text(0), QString("california"));
        for (const char* typed : {"united", "United"}) {
            fUi->edtSearchLocations->clear();
            QTest::keyClicks(fUi->edtSearchLocations, typed);
            QCOMPARE(fUi->tvLocations->currentItem(), country);
            QCOMPARE(fUi->edtSearchLocations->palette().color(QPalette::Text), QColor(Qt::black));
        }
    }
};

TRAWLIX_UI_TEST(TestCriteriaPanel)
#include "test_criteria_panel.moc"
