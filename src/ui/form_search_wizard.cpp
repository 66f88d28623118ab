#include "ui/form_search_wizard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QToolTip>
#include <QVBoxLayout>

#include "engine/synchronizator.h"
#include "model/search.h"
#include "model/searches.h"
#include "model/zip_codes.h"
#include "ui/criteria_panel.h"
#include "ui/criteria_panel_parts.h"
#include "ui/ext_edit.h"
#include "ui/keyword_patterns_dialog.h"
#include "ui/selection_tree.h"
#include "ui/user_dialogs.h"

namespace trawlix {

using namespace criteria_panel;

namespace {

const QColor cWizardColour(176, 210, 255);
constexpr int cWidth = 779;
constexpr int cHeight = 498;
constexpr int cMaxRange = 10000;
constexpr const char* cExitQuestion = "Exit wizard? Any changes will not be saved.";
constexpr const char* cNoLocations = "There are no locations selected.";
constexpr const char* cNoCategories = "There are no categories selected.";
constexpr const char* cNoSearchChosen = "No search is chosen.";

template <class T>
T* Named(T* aWidget, const char* aName) {
    aWidget->setObjectName(aName);
    return aWidget;
}

QPushButton* BoldButton(const QString& aCaption, const char* aName, QWidget* aParent) {
    auto* button = Named(new QPushButton(aCaption, aParent), aName);
    QFont font = button->font();
    font.setBold(true);
    button->setFont(font);
    return button;
}

QDateTimeEdit* DatePicker(const char* aName, QWidget* aParent) {
    auto* picker = Named(new QDateTimeEdit(QDateTime::currentDateTime(), aParent), aName);
    picker->setCalendarPopup(true);
    return picker;
}

}  // namespace

// --- "Choose a search" -----------------------------------------------------------------

TformChooseSearch::TformChooseSearch(IUserDialogs& aDialogs, QWidget* aParent) : QDialog(aParent), fDialogs(aDialogs) {
    setObjectName("formChooseSearch");
    setWindowTitle("Choose a search");
    auto* layout = new QGridLayout(this);
    auto* label = new QLabel("&All searches", this);
    cboxSearches = Named(new QComboBox(this), "cboxSearches");
    label->setBuddy(cboxSearches);
    btnOk = BoldButton("&OK", "btnOk", this);
    btnOk->setDefault(true);
    auto* btnCancel = Named(new QPushButton("&Cancel", this), "btnCancel");
    layout->addWidget(label, 0, 0, 1, 3);
    layout->addWidget(cboxSearches, 1, 0, 1, 3);
    layout->addWidget(btnOk, 2, 1);
    layout->addWidget(btnCancel, 2, 2);
    layout->setColumnStretch(0, 1);
    setMinimumWidth(247);
    connect(btnOk, &QPushButton::clicked, this, &TformChooseSearch::OnOk);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool TformChooseSearch::Execute(const TSearches& aSearches, const TSearch* aLeaveOut) {
    fSearchChosen = nullptr;
    cboxSearches->clear();
    for (const auto& search : aSearches.GetAllSearches()) {
        if (search.get() == aLeaveOut) continue;
        cboxSearches->addItem(QString::fromStdString(search->GetName()), QVariant::fromValue<void*>(search.get()));
    }
    cboxSearches->setCurrentIndex(cboxSearches->count() > 0 ? 0 : -1);
    cboxSearches->setFocus();
    return exec() == QDialog::Accepted && fSearchChosen;
}

void TformChooseSearch::OnOk() {
    if (cboxSearches->currentIndex() < 0) {
        fDialogs.Warning(cNoSearchChosen);
        return;
    }
    fSearchChosen = static_cast<TSearch*>(cboxSearches->currentData().value<void*>());
    accept();
}

// --- building the wizard ---------------------------------------------------------------

TformSearchWizard::TformSearchWizard(IUserDialogs& aDialogs, QWidget* aParent)
    : QDialog(aParent), fDialogs(aDialogs), fChooseSearch(new TformChooseSearch(aDialogs, this)) {
    setObjectName("formSearchWizard");
    resize(cWidth, cHeight);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, cWizardColour);
    setPalette(palette);
    setAutoFillBackground(true);

    auto* layout = new QGridLayout(this);
    auto* steps = new QLabel("Steps", this);
    QFont bold = steps->font();
    bold.setBold(true);
    steps->setFont(bold);
    lvPages = Named(new QListWidget(this), "lvPages");
    lvPages->setFixedWidth(170);
    // The list only shows where the user is: the buttons change the page.
    lvPages->setFocusPolicy(Qt::NoFocus);
    lvPages->setSelectionMode(QAbstractItemView::SingleSelection);
    PageControl = Named(new QStackedWidget(this), "PageControl");
    PageControl->addWidget(BuildKeywordsPage());
    PageControl->addWidget(BuildLocationsPage());
    PageControl->addWidget(BuildOptionsPage());
    for (int page = 0; page < PageControl->count(); ++page)
        new QListWidgetItem(PageControl->widget(page)->windowTitle().replace("&&", "&"), lvPages);
    layout->addWidget(steps, 0, 0);
    layout->addWidget(lvPages, 1, 0, 2, 1);
    layout->addWidget(PageControl, 0, 1, 2, 1);
    BuildButtons(layout);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);

    KeywordPatternsDialog = [this](TKeywordPattern& aPattern) {
        TformKeywordPatterns dialog(this);
        if (!dialog.Execute(aPattern)) return false;
        aPattern = dialog.GetPattern();
        return true;
    };
    // Clicking a step changes nothing: the selection goes back to the page shown.
    connect(lvPages, &QListWidget::currentRowChanged, this, [this](int aRow) {
        if (aRow != PageControl->currentIndex()) lvPages->setCurrentRow(PageControl->currentIndex());
    });
}

TformSearchWizard::~TformSearchWizard() = default;

QWidget* TformSearchWizard::BuildKeywordsPage() {
    auto* page = Named(new QWidget, "tsKeywords");
    page->setWindowTitle("Search Keywords");
    auto* layout = new QVBoxLayout(page);
    auto* captionLabel = new QLabel("Search &caption", page);
    edtCaption = Named(new TCExtEdit(page), "edtCaption");
    edtCaption->SetSuggestionText("Enter a title for your search");
    captionLabel->setBuddy(edtCaption);
    auto* group = new QGroupBox("Search keywords ", page);
    auto* groupLayout = new QGridLayout(group);
    sbtnPredefinedkeywordPatterns =
        Named(new QPushButton("&Use predefined keyword patterns", group), "sbtnPredefinedkeywordPatterns");
    edtKeywords = Named(new QPlainTextEdit(group), "edtKeywords");
    edtKeywords->setTabChangesFocus(true);
    sbtnOR = Named(new QPushButton("&OR", group), "sbtnOR");
    sbtnNot = Named(new QPushButton("&NOT", group), "sbtnNot");
    sbtnPhrase = Named(new QPushButton("P&HRASE", group), "sbtnPhrase");
    sbtnGroup = Named(new QPushButton("&GROUP", group), "sbtnGroup");
    groupLayout->addWidget(sbtnPredefinedkeywordPatterns, 0, 0, 1, 4);
    groupLayout->addWidget(edtKeywords, 1, 0, 1, 4);
    int column = 0;
    for (QPushButton* button : {sbtnOR, sbtnNot, sbtnPhrase, sbtnGroup}) groupLayout->addWidget(button, 2, column++);
    cbHasImage = Named(new QCheckBox("Has &image", page), "cbHasImage");
    cbOnlyTitles = Named(new QCheckBox("Only search &titles", page), "cbOnlyTitles");
    cbOnlyCatListing = Named(new QCheckBox("Only search in category &listings", page), "cbOnlyCatListing");
    layout->addWidget(captionLabel);
    layout->addWidget(edtCaption);
    layout->addWidget(group, 1);
    for (QCheckBox* box : {cbHasImage, cbOnlyTitles, cbOnlyCatListing}) layout->addWidget(box);

    connect(sbtnOR, &QPushButton::clicked, this, [this] { OnKeywordOperator(koOr); });
    connect(sbtnNot, &QPushButton::clicked, this, [this] { OnKeywordOperator(koNot); });
    connect(sbtnPhrase, &QPushButton::clicked, this, [this] { OnKeywordOperator(koPhrase); });
    connect(sbtnGroup, &QPushButton::clicked, this, [this] { OnKeywordOperator(koGroup); });
    connect(sbtnPredefinedkeywordPatterns, &QPushButton::clicked, this, &TformSearchWizard::OnPredefinedKeywordPatterns);
    connect(cbOnlyCatListing, &QCheckBox::clicked, this, &TformSearchWizard::ApplyRawCategoryRule);
    return page;
}

QWidget* TformSearchWizard::BuildLocationsPage() {
    auto* page = Named(new QWidget, "tsLocationsAndCategories");
    page->setWindowTitle("Locations && Categories");
    auto* layout = new QVBoxLayout(page);
    auto* splitter = new QSplitter(page);

    auto* locations = new QGroupBox("Locations to search in * ", splitter);
    auto* locationsLayout = new QVBoxLayout(locations);
    edtSearchLocations = Named(new TCExtEdit(locations), "edtSearchLocations");
    edtSearchLocations->SetSuggestionText("Search in locations");
    tvLocations = Named(new TSelectionTree(locations), "tvLocations");
    auto* zipGroup = new QGroupBox("ZIP code (works with the provided range) ", locations);
    edtZIPCode = Named(new QLineEdit(zipGroup), "edtZIPCode");
    (new QVBoxLayout(zipGroup))->addWidget(edtZIPCode);
    gbRange = Named(new QGroupBox(RangeCaption(0), locations), "gbRange");
    tbRange = Named(new QSlider(Qt::Horizontal, gbRange), "tbRange");
    tbRange->setRange(0, cMaxRange);
    (new QVBoxLayout(gbRange))->addWidget(tbRange);
    locationsLayout->addWidget(edtSearchLocations);
    locationsLayout->addWidget(tvLocations, 1);
    locationsLayout->addWidget(zipGroup);
    locationsLayout->addWidget(gbRange);

    auto* categories = new QGroupBox("Categories to search in * ", splitter);
    tvCategories = Named(new TSelectionTree(categories), "tvCategories");
    (new QVBoxLayout(categories))->addWidget(tvCategories);
    splitter->addWidget(locations);
    splitter->addWidget(categories);
    btnCopyFromAnotherAd = Named(new QPushButton("Co&py from another search", page), "btnCopyFromAnotherAd");
    layout->addWidget(splitter, 1);
    layout->addWidget(btnCopyFromAnotherAd, 0, Qt::AlignLeft);

    // The marks change on the tree's own click and Space; the wizard only follows them.
    tvLocations->OnUserToggled = [this](QTreeWidgetItem* aItem) {
        tvLocations->ToggleSelectedStateIndex(aItem, true, nullptr, false);
        UpdateButtons();
    };
    tvCategories->OnUserToggled = [this](QTreeWidgetItem* aItem) {
        tvCategories->ToggleSelectedStateIndex(aItem, true, nullptr, false);
        UpdateButtons();
    };
    connect(edtSearchLocations, &QLineEdit::textChanged, this,
            [this] { FindInLocationTree(*edtSearchLocations, *tvLocations); });
    connect(tbRange, &QSlider::valueChanged, this, [this](int aPosition) {
        gbRange->setTitle(RangeCaption(aPosition));
        QToolTip::showText(tbRange->mapToGlobal(QPoint(0, tbRange->height())), QString::number(aPosition), tbRange);
    });
    connect(edtZIPCode, &QLineEdit::editingFinished, this,
            [this] { LookUpZIPCodeBox(*edtZIPCode, fZIPCodes, fDialogs, true); });
    connect(btnCopyFromAnotherAd, &QPushButton::clicked, this, &TformSearchWizard::OnCopyFromAnotherSearch);
    return page;
}

QWidget* TformSearchWizard::BuildOptionsPage() {
    auto* page = Named(new QWidget, "tsSearchOptions");
    page->setWindowTitle("Search Options");
    auto* layout = new QVBoxLayout(page);

    auto* pagesRow = new QHBoxLayout;
    auto* pagesLabel = new QLabel("Gather results from the &first", page);
    edtPageCount = Named(new QSpinBox(page), "edtPageCount");
    edtPageCount->setRange(1, 9999);
    edtPageCount->setValue(cDefaultPagesCount);
    pagesLabel->setBuddy(edtPageCount);
    pagesRow->addWidget(pagesLabel);
    pagesRow->addWidget(edtPageCount);
    pagesRow->addWidget(new QLabel("page(s)", page));
    pagesRow->addStretch();

    auto* dates = new QGroupBox("Search within a date range", page);
    auto* datesLayout = new QGridLayout(dates);
    fDates.fromChecked = Named(new QCheckBox("From &date", dates), "cbFromDate");
    fDates.from = DatePicker("dtpFromDate", dates);
    fDates.toChecked = Named(new QCheckBox("To dat&e", dates), "cbToDate");
    fDates.to = DatePicker("dtpToDate", dates);
    fDates.lastDaysChecked = Named(new QCheckBox("Search within the &last", dates), "cbSearchLastDays");
    fDates.lastDays = Named(new QSpinBox(dates), "edtLastDays");
    fDates.lastDays->setRange(1, 9999);
    datesLayout->addWidget(fDates.fromChecked, 0, 0);
    datesLayout->addWidget(fDates.from, 0, 1);
    datesLayout->addWidget(fDates.toChecked, 1, 0);
    datesLayout->addWidget(fDates.to, 1, 1);
    datesLayout->addWidget(new QLabel("- OR -", dates), 2, 0);
    datesLayout->addWidget(fDates.lastDaysChecked, 3, 0);
    datesLayout->addWidget(fDates.lastDays, 3, 1);
    datesLayout->addWidget(new QLabel("day(s)", dates), 3, 2);

    auto* sites = new QGroupBox("Websites to search ", page);
    auto* sitesLayout = new QGridLayout(sites);
    static const std::array<const char*, cSiteSearchCount> cSiteBoxes = {
        "cbSearchInCraigslist", "cbSearchInBackpage", "cbSearchInOodle",
        "cbSearchInEBay",       "cbSearchInCarsCom",  "cbSearchInAutotrader"};
    for (int site = 0; site < cSiteSearchCount; ++site) {
        cbSearchIn[site] = Named(new QCheckBox(cSiteBoxes[site] + std::string_view("cbSearchIn").size(), sites),
                                 cSiteBoxes[site]);
        // A check box takes clicks on its box and caption only: stretched to its column, the
        // rest of it would look clickable and not be. Each keeps its own size at its column's left.
        sitesLayout->addWidget(cbSearchIn[site], site / 3, site % 3, Qt::AlignLeft);
    }

    auto* after = new QGroupBox("Things to do after the wizzard is complete ", page);
    auto* afterLayout = new QVBoxLayout(after);
    cbSetupAlerts = Named(new QCheckBox("Setup &alerts and automatic email replies", after), "cbSetupAlerts");
    cbStartSearch = Named(new QCheckBox("&Start the search", after), "cbStartSearch");
    afterLayout->addWidget(cbSetupAlerts);
    afterLayout->addWidget(cbStartSearch);
    cbClearOldResults = Named(new QCheckBox("&Clear old results when starting the search", page), "cbClearOldResults");
    cbShowSearchWizzard = Named(new QCheckBox("Show &wizard when a search is created", page), "cbShowSearchWizzard");

    layout->addLayout(pagesRow);
    layout->addWidget(dates);
    layout->addWidget(sites);
    layout->addWidget(after);
    layout->addWidget(cbClearOldResults);
    layout->addWidget(cbShowSearchWizzard);
    layout->addStretch();

    ConnectDateRules(fDates, this);
    return page;
}

void TformSearchWizard::BuildButtons(QGridLayout* aLayout) {
    auto* row = new QHBoxLayout;
    btnBack = Named(new QPushButton("&Back", this), "btnBack");
    btnNext = BoldButton("&Next", "btnNext", this);
    btnFinish = BoldButton("&Finish", "btnFinish", this);
    // Enter is handled by the window itself (Next while it can, else Finish).
    for (QPushButton* button : {btnBack, btnNext, btnFinish}) button->setAutoDefault(false);
    row->addStretch();
    row->addWidget(btnBack);
    row->addWidget(btnNext);
    row->addWidget(btnFinish);
    aLayout->addLayout(row, 2, 1);
    connect(btnBack, &QPushButton::clicked, this, &TformSearchWizard::OnBack);
    connect(btnNext, &QPushButton::clicked, this, &TformSearchWizard::OnNext);
    connect(btnFinish, &QPushButton::clicked, this, &TformSearchWizard::OnFinish);
}

void TformSearchWizard::SetReferenceData(const TPlaceList& aCountries, const TPlaceList& aMainCategories,
                                         const TZIPCodes* aZIPCodes,
                                         const std::array<std::string, cSiteSearchCount>& aSiteCaptions) {
    fZIPCodes = aZIPCodes;
    tvLocations->FillLocationsTreeView(aCountries);
    tvCategories->FillLocationsTreeView(aMainCategories);
    for (int site = 0; site < cSiteSearchCount; ++site)
        if (!aSiteCaptions[site].empty()) cbSearchIn[site]->setText(QString::fromStdString(aSiteCaptions[site]));
}

// --- a run -----------------------------------------------------------------------------

bool TformSearchWizard::Execute(TSearch* aSearch, bool aShowWizardSetting) {
    fNewSearch.reset();
    if (aSearch) {
        fSearch = aSearch;
        setWindowTitle("Modify search");
    } else {
        fNewSearch = std::make_unique<TSearch>();
        fSearch = fNewSearch.get();
        setWindowTitle("New search");
    }
    fFillSearchKeywordPatterns = false;
    ShowPage(tpKeywords);
    // The wizard is kept between runs: the last run's place search would hide most places.
    edtSearchLocations->clear();
    FillControls(*fSearch);
    cbShowSearchWizzard->setChecked(aShowWizardSetting);
    edtCaption->setFocus();
    const bool finished = exec() == QDialog::Accepted;
    if (finished) FillSearch(*fSearch);
    else fNewSearch.reset();  // a cancelled new search leaves nothing behind
    fSearch = nullptr;
    return finished;
}

bool TformSearchWizard::ShowWizardChosen() const { return cbShowSearchWizzard->isChecked(); }
bool TformSearchWizard::SetupAlertsChosen() const { return cbSetupAlerts->isChecked(); }
bool TformSearchWizard::StartSearchChosen() const { return cbStartSearch->isChecked(); }

void TformSearchWizard::ShowPage(int aPage) {
    PageControl->setCurrentIndex(aPage);
    lvPages->setCurrentRow(aPage);
    UpdateButtons();
}

void TformSearchWizard::UpdateButtons() {
    const int page = PageControl->currentIndex();
    btnBack->setText(page == tpKeywords ? "&Cancel" : "&Back");
    btnNext->setEnabled(page < cPageCount - 1);
    btnFinish->setEnabled(ValidateSearch(-1, false));
}

void TformSearchWizard::OnBack() {
    const int page = PageControl->currentIndex();
    if (page > tpKeywords) {
        ShowPage(page - 1);
        return;
    }
    if (fDialogs.Confirm(cExitQuestion)) reject();
}

void TformSearchWizard::OnNext() {
    const int page = PageControl->currentIndex();
    if (page < cPageCount - 1 && ValidateSearch(page, true)) ShowPage(page + 1);
}

void TformSearchWizard::OnFinish() {
    if (ValidateSearch(-1, true)) accept();
}

// Escape leaves at once without a question, whatever has the focus; Enter moves on.
void TformSearchWizard::keyPressEvent(QKeyEvent* aEvent) {
    switch (aEvent->key()) {
        case Qt::Key_Escape: reject(); return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (btnNext->isEnabled()) btnNext->click();
            else if (btnFinish->isEnabled()) btnFinish->click();
            return;
        default: QDialog::keyPressEvent(aEvent);
    }
}

bool TformSearchWizard::ValidateSearch(int aPage, bool aShowMessage) {
    if (aPage >= 0 && aPage != tpLocationsAndCategories) return true;
    const char* problem = !tvLocations->HasAnyMark()    ? cNoLocations
                          : !tvCategories->HasAnyMark() ? cNoCategories
                                                        : nullptr;
    if (!problem) return true;
    if (aShowMessage) fDialogs.Warning(problem);
    return false;
}

// --- the search and the controls -------------------------------------------------------

void TformSearchWizard::FillControls(TSearch& aSearch) {
    TCLock lock(aSearch.GetCriticalSection());
    edtCaption->SetText(QString::fromStdString(aSearch.GetName()));
    ShowKeywords({edtKeywords, cbHasImage, cbOnlyTitles, cbOnlyCatListing}, aSearch);
    ApplyRawCategoryRule();
    tvLocations->ShowCompressedSelection(aSearch.GetCompressedLocations());
    tvCategories->ShowCompressedSelection(aSearch.GetCategories());
    edtZIPCode->setText(QString::fromStdString(aSearch.GetZIPCode()));
    tbRange->setValue(aSearch.GetDistance());
    gbRange->setTitle(RangeCaption(aSearch.GetDistance()));
    FillDates(aSearch);
    edtPageCount->setValue(aSearch.GetPagesCount());
    ShowSitesOfSearch(cbSearchIn, aSearch);
    cbClearOldResults->setChecked(aSearch.GetClearOldResults());
    cbSetupAlerts->setChecked(false);
    cbStartSearch->setChecked(true);
    UpdateButtons();
}

void TformSearchWizard::FillDates(const TSearch& aSearch) {
    ShowDates(fDates, aSearch);
    // "The last days" wins over a date range kept beside it, as its click rule says.
    if (aSearch.GetDoSearchLastDays()) {
        fDates.fromChecked->setChecked(false);
        fDates.toChecked->setChecked(false);
    }
}

void TformSearchWizard::FillSearch(TSearch& aSearch) {
    {
        TCLock lock(aSearch.GetCriticalSection());
        aSearch.SetName(edtCaption->IsEmpty() ? std::string() : edtCaption->text().trimmed().toStdString());
        if (fFillSearchKeywordPatterns) {
            const TKeywordPattern stored = PatternToStore(fPattern);
            aSearch.SetAllThese(stored.allThese);
            aSearch.SetExact(stored.exact);
            aSearch.SetOR1(stored.or1);
            aSearch.SetOR2(stored.or2);
            aSearch.SetOR3(stored.or3);
            aSearch.SetNoneOfThese(stored.noneOfThese);
        }
        StoreKeywords({edtKeywords, cbHasImage, cbOnlyTitles, cbOnlyCatListing}, aSearch);
        StorePlaces({tvLocations, tvCategories, edtZIPCode, tbRange}, aSearch, true);
        StoreDates(fDates, aSearch);
        aSearch.SetPagesCount(edtPageCount->value());
        StoreSitesToSearch(cbSearchIn, aSearch);
        aSearch.SetClearOldResults(cbClearOldResults->isChecked());
    }
    // The code's object is looked up outside the lock; an unknown code keeps none.
    TZIPCodeLookup found = LookUpZIPCodeBox(*edtZIPCode, fZIPCodes, fDialogs, true);
    TCLock lock(aSearch.GetCriticalSection());
    aSearch.SetZIPCode(found.code);
    aSearch.SetZIPCodeObject(std::move(found.object));
}

// --- controls --------------------------------------------------------------------------

void TformSearchWizard::ApplyRawCategoryRule() {
    const bool enabled = !cbOnlyCatListing->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{cbHasImage, cbOnlyTitles, edtKeywords, sbtnOR, sbtnNot,
                                                            sbtnPhrase, sbtnGroup, sbtnPredefinedkeywordPatterns})
        control->setEnabled(enabled);
}

void TformSearchWizard::OnKeywordOperator(int aOperator) {
    ApplyKeywordOperator(*edtKeywords, static_cast<TKeywordOperator>(aOperator));
}

void TformSearchWizard::OnPredefinedKeywordPatterns() {
    if (!fSearch) return;
    TKeywordPattern pattern;
    {
        TCLock lock(fSearch->GetCriticalSection());
        pattern = {fSearch->GetAllThese(), fSearch->GetExact(), fSearch->GetOR1(),
                   fSearch->GetOR2(),      fSearch->GetOR3(),   fSearch->GetNoneOfThese()};
    }
    if (fFillSearchKeywordPatterns) pattern = fPattern;
    if (!KeywordPatternsDialog || !KeywordPatternsDialog(pattern)) return;
    // Kept until Finish: a cancelled run must leave the search's patterns as they were.
    fPattern = pattern;
    fFillSearchKeywordPatterns = true;
    edtKeywords->setPlainText(QString::fromStdString(BuildKeywordsFromPattern(pattern)));
}

void TformSearchWizard::OnCopyFromAnotherSearch() {
    if (!fSearches) return;
    if (!fChooseSearch->Execute(*fSearches, fSearch)) return;
    TSearch& chosen = *fChooseSearch->SearchChosen();
    TCLock lock(chosen.GetCriticalSection());
    tvLocations->ShowCompressedSelection(chosen.GetCompressedLocations());
    tvCategories->ShowCompressedSelection(chosen.GetCategories());
    UpdateButtons();
}

}  // namespace trawlix
