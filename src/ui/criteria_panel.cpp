#include "ui/criteria_panel.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include <unordered_set>

#include "engine/synchronizator.h"
#include "model/categories.h"
#include "model/place_selection.h"
#include "model/search.h"
#include "model/zip_codes.h"
#include "ui/ext_edit.h"
#include "ui/keyword_patterns_dialog.h"
#include "ui/option_grid.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr const char* cUntitled = "(Untitled)";

// Country names come in mixed case ("united states" beside "UK"): each word starts with a
// capital in the tree, so that they read alike; the rest of a word stays as it is.
QString CountryCaption(const QString& aName) {
    QString caption = aName;
    for (int at = 0; at < caption.size(); ++at)
        if (at == 0 || caption[at - 1] == ' ') caption[at] = caption[at].toUpper();
    return caption;
}
constexpr const char* cHeaderCaption = "   Search settings";
constexpr const char* cInvalidZIPCode = "The ZIP code you have entered is invalid. Please fix it or delete it.";
constexpr int cDefaultPagesCount = 2;
constexpr int cZIPCodeLength = 5;
constexpr int cKeywordsHeight = 60;
constexpr int cKeywordsEditingHeight = 150;
constexpr int cLongKeywords = 100;
constexpr int cKeywordsResizeDelayMs = 500;

enum TKeywordOperator { koOr, koNot, koPhrase, koGroup };

QString RangeCaption(int aMiles) { return QString("Include places in the range of %1 miles").arg(aMiles); }

QPushButton* SmallButton(const QString& aCaption, const QString& aHint, const QString& aName, QWidget* aParent) {
    auto* button = new QPushButton(aCaption, aParent);
    button->setToolTip(aHint);
    button->setObjectName(aName);
    return button;
}

// UTF-16 positions of the keyword box to the byte offsets of the keyword functions, and back.
size_t ByteOffset(const QString& aText, int aPosition) { return aText.left(aPosition).toUtf8().size(); }
int CharPosition(const std::string& aText, size_t aOffset) {
    return QString::fromUtf8(aText.data(), static_cast<qsizetype>(std::min(aOffset, aText.size()))).size();
}

}  // namespace

// --- dates and ZIP codes ---------------------------------------------------------------

double DateTimeToDays(const QDateTime& aDateTime) {
    static const QDate cEpoch(1899, 12, 30);
    const QTime time = aDateTime.time();
    return static_cast<double>(cEpoch.daysTo(aDateTime.date())) + time.msecsSinceStartOfDay() / 86400000.0;
}

QDateTime DaysToDateTime(double aDays) {
    static const QDate cEpoch(1899, 12, 30);
    const auto wholeDays = static_cast<qint64>(std::floor(aDays));
    const auto msecs = static_cast<int>(std::lround((aDays - static_cast<double>(wholeDays)) * 86400000.0));
    return QDateTime(cEpoch.addDays(wholeDays), QTime(0, 0).addMSecs(std::min(msecs, 86399999)));
}

std::string AddZerosAtStart(const std::string& aStr, size_t aTotalLength) {
    if (aStr.size() >= aTotalLength) return aStr;
    return std::string(aTotalLength - aStr.size(), '0') + aStr;
}

// --- TCategoryPanel --------------------------------------------------------------------

TCategoryPanel::TCategoryPanel(const QString& aCaption, QWidget* aParent) : QWidget(aParent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    fHeader = new QToolButton(this);
    fHeader->setText(aCaption);
    fHeader->setCheckable(true);
    fHeader->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    fHeader->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    fHeader->setStyleSheet("QToolButton { background: rgb(166,202,240); border: none; padding: 3px; "
                           "font-weight: bold; text-align: left; }");
    fBody = new QWidget(this);
    layout->addWidget(fHeader);
    layout->addWidget(fBody);
    SetOpen(false);
    connect(fHeader, &QToolButton::clicked, this, [this](bool aChecked) {
        SetOpen(aChecked);
        if (aChecked) emit Opened(this);
    });
}

bool TCategoryPanel::IsOpen() const { return fBody->isVisibleTo(this); }

void TCategoryPanel::SetOpen(bool aOpen) {
    fHeader->setChecked(aOpen);
    fHeader->setArrowType(aOpen ? Qt::DownArrow : Qt::RightArrow);
    fBody->setVisible(aOpen);
}

// --- construction ----------------------------------------------------------------------

TCriteriaPanel::TCriteriaPanel(IUserDialogs& aDialogs, QWidget* aParent) : QWidget(aParent), fDialogs(aDialogs) {
    setObjectName("pnlLeft");
    setMinimumWidth(34);
    resize(cDesignedWidth, height());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    BuildHeader(layout);
    BuildAccordion(layout);
    BuildFooter(layout);
    BuildSummary(layout);

    KeywordPatternsDialog = [this](TKeywordPattern& aPattern) {
        TformKeywordPatterns dialog(this);
        if (!dialog.Execute(aPattern)) return false;
        aPattern = dialog.GetPattern();
        return true;
    };
    fTimerFillSearch.setInterval(cFillSearchIntervalMs);
    connect(&fTimerFillSearch, &QTimer::timeout, this, &TCriteriaPanel::OnFillSearchTimer);
}

TCriteriaPanel::~TCriteriaPanel() {
    // A search may outlive the window: it must not keep a pointer to our grid.
    if (fGridSearch) fGridSearch->GetPropertyContainer().SetValueListEditor(nullptr);
}

void TCriteriaPanel::BuildHeader(QVBoxLayout* aLayout) {
    ToolBar1 = new QWidget(this);
    ToolBar1->setObjectName("ToolBar1");
    auto* header = new QHBoxLayout(ToolBar1);
    header->setContentsMargins(0, 0, 0, 0);
    pnlLeftPanelHeader = new QLabel(cHeaderCaption, ToolBar1);
    pnlLeftPanelHeader->setObjectName("pnlLeftPanelHeader");
    QFont bold = pnlLeftPanelHeader->font();
    bold.setBold(true);
    pnlLeftPanelHeader->setFont(bold);
    tbtnHideCriteria = new QToolButton(ToolBar1);
    tbtnHideCriteria->setObjectName("tbtnHideCriteria");
    tbtnHideCriteria->setIcon(QIcon(":/pictures/collapse.svg"));
    tbtnHideCriteria->setToolTip("Hide/Show the search settings");
    tbtnHideCriteria->setAutoRaise(true);
    header->addWidget(pnlLeftPanelHeader, 1);
    header->addWidget(tbtnHideCriteria);
    aLayout->addWidget(ToolBar1);
}

void TCriteriaPanel::BuildAccordion(QVBoxLayout* aLayout) {
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    // The panel's width is the user's choice: the controls fit it rather than scroll sideways.
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    CategoryPanelGroup = new QWidget(scroll);
    CategoryPanelGroup->setObjectName("CategoryPanelGroup");
    auto* group = new QVBoxLayout(CategoryPanelGroup);
    group->setContentsMargins(0, 0, 0, 0);
    group->setSpacing(1);
    cpCriteria = new TCategoryPanel("Keywords", CategoryPanelGroup);
    cpLocations = new TCategoryPanel("Locations", CategoryPanelGroup);
    cpCategories = new TCategoryPanel("Categories", CategoryPanelGroup);
    cpCustomProps = new TCategoryPanel("More Options", CategoryPanelGroup);
    cpMisc = new TCategoryPanel("Misc", CategoryPanelGroup);
    cpSitesToSearch = new TCategoryPanel("Websites to search", CategoryPanelGroup);
    fPanels = {cpCriteria, cpLocations, cpCategories, cpCustomProps, cpMisc, cpSitesToSearch};
    for (TCategoryPanel* panel : fPanels) {
        group->addWidget(panel);
        connect(panel, &TCategoryPanel::Opened, this, &TCriteriaPanel::OnPanelOpened);
    }
    group->addStretch(1);
    BuildKeywordsPanel();
    BuildLocationsPanel();
    BuildCategoriesPanel();
    BuildOptionsPanel();
    BuildMiscPanel();
    BuildSitesPanel();
    cpCriteria->SetOpen(true);
    cpMisc->SetOpen(true);
    cpSitesToSearch->SetOpen(true);
    // "Websites to search" stays open: its header does not close it.
    connect(cpSitesToSearch->Header(), &QToolButton::clicked, cpSitesToSearch, [this] { cpSitesToSearch->SetOpen(true); });
    scroll->setWidget(CategoryPanelGroup);
    aLayout->addWidget(scroll, 1);
}

void TCriteriaPanel::BuildKeywordsPanel() {
    auto* layout = new QVBoxLayout(cpCriteria->Body());
    layout->addWidget(new QLabel("Search name", cpCriteria->Body()));
    edtSearchName = new QLineEdit(cpCriteria->Body());
    edtSearchName->setObjectName("edtSearchName");
    layout->addWidget(edtSearchName);
    lblKeywords = new QLabel("Keywords", cpCriteria->Body());
    layout->addWidget(lblKeywords);
    edtKeywords = new QPlainTextEdit(cpCriteria->Body());
    edtKeywords->setObjectName("edtKeywords");
    edtKeywords->setFixedHeight(cKeywordsHeight);
    edtKeywords->installEventFilter(this);
    layout->addWidget(edtKeywords);
    auto* buttons = new QHBoxLayout();
    sbtnOR = SmallButton("OR", "The first term OR the second", "sbtnOR", cpCriteria->Body());
    sbtnNot = SmallButton("NOT", "Excludes the selected term", "sbtnNot", cpCriteria->Body());
    sbtnPhrase = SmallButton("PHRASE", "Makes a phrase of the selected keywords", "sbtnPhrase", cpCriteria->Body());
    sbtnGroup = SmallButton("GROUP", "Groups the selected terms together", "sbtnGroup", cpCriteria->Body());
    for (QPushButton* button : {sbtnOR, sbtnNot, sbtnPhrase, sbtnGroup}) {
        button->setFocusPolicy(Qt::NoFocus);  // the keyword box keeps its selection
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    sbtnPredefinedkeywordPatterns = SmallButton("Predefined keyword patterns", "Predefined keyword patterns",
                                                "sbtnPredefinedkeywordPatterns", cpCriteria->Body());
    layout->addWidget(sbtnPredefinedkeywordPatterns);
    cbOnlyTitles = new QCheckBox("Only search titles", cpCriteria->Body());
    cbHasImage = new QCheckBox("Has image", cpCriteria->Body());
    cbOnlyCatListing = new QCheckBox("Raw category search", cpCriteria->Body());
    cbOnlyTitles->setObjectName("cbOnlyTitles");
    cbHasImage->setObjectName("cbHasImage");
    cbOnlyCatListing->setObjectName("cbOnlyCatListing");
    layout->addWidget(cbOnlyTitles);
    layout->addWidget(cbHasImage);
    layout->addWidget(cbOnlyCatListing);

    connect(sbtnOR, &QPushButton::clicked, this, [this] { OnKeywordOperator(koOr); });
    connect(sbtnNot, &QPushButton::clicked, this, [this] { OnKeywordOperator(koNot); });
    connect(sbtnPhrase, &QPushButton::clicked, this, [this] { OnKeywordOperator(koPhrase); });
    connect(sbtnGroup, &QPushButton::clicked, this, [this] { OnKeywordOperator(koGroup); });
    connect(sbtnPredefinedkeywordPatterns, &QPushButton::clicked, this, &TCriteriaPanel::OnPredefinedKeywordPatterns);
    connect(cbOnlyCatListing, &QCheckBox::toggled, this, &TCriteriaPanel::ApplyRawCategoryRule);
    connect(edtKeywords, &QPlainTextEdit::textChanged, this, &TCriteriaPanel::SelectionChanged);
}

void TCriteriaPanel::BuildLocationsPanel() {
    auto* layout = new QVBoxLayout(cpLocations->Body());
    edtSearchLocations = new TCExtEdit(cpLocations->Body());
    edtSearchLocations->setObjectName("edtSearchLocations");
    edtSearchLocations->SetSuggestionText("Search in locations");
    layout->addWidget(edtSearchLocations);
    tvLocations = new TSelectionTree(cpLocations->Body());
    tvLocations->setObjectName("tvLocations");
    tvLocations->setMinimumHeight(220);
    layout->addWidget(tvLocations);
    gbRange = new QGroupBox(RangeCaption(0), cpLocations->Body());
    gbRange->setObjectName("gbRange");
    auto* rangeLayout = new QVBoxLayout(gbRange);
    tbRange = new QSlider(Qt::Horizontal, gbRange);
    tbRange->setObjectName("tbRange");
    tbRange->setRange(0, 10000);
    tbRange->setTickPosition(QSlider::NoTicks);
    rangeLayout->addWidget(tbRange);
    rangeLayout->addWidget(new QLabel("ZIP code (works with the provided range) ", gbRange));
    edtZIPCode = new QLineEdit(gbRange);
    edtZIPCode->setObjectName("edtZIPCode");
    rangeLayout->addWidget(edtZIPCode);
    layout->addWidget(gbRange);
    cpLocations->MainControl = tvLocations;

    tvLocations->OnUserToggled = [this](QTreeWidgetItem* aItem) { OnLocationToggled(aItem); };
    connect(edtSearchLocations, &QLineEdit::textChanged, this, &TCriteriaPanel::OnSearchLocationsChanged);
    connect(tbRange, &QSlider::valueChanged, this, &TCriteriaPanel::OnRangeMoved);
    connect(edtZIPCode, &QLineEdit::editingFinished, this, &TCriteriaPanel::OnZIPCodeLeft);
    connect(edtZIPCode, &QLineEdit::textChanged, this, &TCriteriaPanel::SelectionChanged);
}

void TCriteriaPanel::BuildCategoriesPanel() {
    auto* layout = new QVBoxLayout(cpCategories->Body());
    tvCategories = new TSelectionTree(cpCategories->Body());
    tvCategories->setObjectName("tvCategories");
    tvCategories->setMinimumHeight(220);
    layout->addWidget(tvCategories);
    cpCategories->MainControl = tvCategories;
    tvCategories->OnUserToggled = [this](QTreeWidgetItem* aItem) { OnCategoryToggled(aItem); };
}

void TCriteriaPanel::BuildOptionsPanel() {
    auto* layout = new QVBoxLayout(cpCustomProps->Body());
    vleCustomOptions = new TOptionGrid(fDialogs, cpCustomProps->Body());
    vleCustomOptions->setMinimumHeight(160);
    layout->addWidget(vleCustomOptions);
    pnlNoCustomOptions = new QWidget(cpCustomProps->Body());
    pnlNoCustomOptions->setObjectName("pnlNoCustomOptions");
    auto* explanationLayout = new QVBoxLayout(pnlNoCustomOptions);
    auto* picture = new QLabel(pnlNoCustomOptions);
    picture->setPixmap(QIcon(":/pictures/options.svg").pixmap(32, 32));
    explanationLayout->addWidget(picture, 0, Qt::AlignHCenter);
    auto* explanation = new QLabel(
        "  These custom options are specific to each site or category you select and will be auto-filled with "
        "the available settings upons selection.\n\n  For example if you select the \"for sale\" category, "
        "options for minimum and maximum price will appear here.",
        pnlNoCustomOptions);
    explanation->setWordWrap(true);
    explanationLayout->addWidget(explanation);
    layout->addWidget(pnlNoCustomOptions);
    cpCustomProps->MainControl = vleCustomOptions;
    vleCustomOptions->OnRowsChanged = [this] { ApplyIdleRules(); };
    vleCustomOptions->OnValueChanged = [this] {
        if (fGridSearch) fGridSearch->MarkModified();
    };
}

void TCriteriaPanel::BuildMiscPanel() {
    auto* layout = new QVBoxLayout(cpMisc->Body());
    auto* pages = new QHBoxLayout();
    pages->addWidget(new QLabel("Gather results from the first", cpMisc->Body()));
    edtPageCount = new QSpinBox(cpMisc->Body());
    edtPageCount->setObjectName("edtPageCount");
    edtPageCount->setRange(1, 100);
    edtPageCount->setValue(cDefaultPagesCount);
    pages->addWidget(edtPageCount);
    pages->addWidget(new QLabel("page(s)", cpMisc->Body()));
    layout->addLayout(pages);
    sbtnClearAllFields = SmallButton("Clear all fields", "Clear all the criteria fields", "sbtnClearAllFields",
                                     cpMisc->Body());
    layout->addWidget(sbtnClearAllFields);

    auto* dates = new QGroupBox("Search within a date range", cpMisc->Body());
    auto* grid = new QGridLayout(dates);
    cbFromDate = new QCheckBox("From date", dates);
    dtpFromDate = new QDateTimeEdit(QDateTime::currentDateTime(), dates);
    cbToDate = new QCheckBox("To date", dates);
    dtpToDate = new QDateTimeEdit(QDateTime::currentDateTime(), dates);
    cbSearchLastDays = new QCheckBox("Search within the last", dates);
    edtLastDays = new QSpinBox(dates);
    edtLastDays->setRange(1, 100);
    edtLastDays->setValue(1);
    cbFromDate->setObjectName("cbFromDate");
    dtpFromDate->setObjectName("dtpFromDate");
    cbToDate->setObjectName("cbToDate");
    dtpToDate->setObjectName("dtpToDate");
    cbSearchLastDays->setObjectName("cbSearchLastDays");
    edtLastDays->setObjectName("edtLastDays");
    for (QDateTimeEdit* picker : {dtpFromDate, dtpToDate}) {
        picker->setCalendarPopup(true);
        picker->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    }
    grid->addWidget(cbFromDate, 0, 0);
    grid->addWidget(dtpFromDate, 0, 1, 1, 2);
    grid->addWidget(cbToDate, 1, 0);
    grid->addWidget(dtpToDate, 1, 1, 1, 2);
    grid->addWidget(new QLabel("- OR -", dates), 2, 0, 1, 3, Qt::AlignHCenter);
    grid->addWidget(cbSearchLastDays, 3, 0);
    grid->addWidget(edtLastDays, 3, 1);
    grid->addWidget(new QLabel("day(s)", dates), 3, 2);
    layout->addWidget(dates);

    connect(sbtnClearAllFields, &QPushButton::clicked, this, &TCriteriaPanel::ClearAllFields);
    connect(cbFromDate, &QCheckBox::clicked, this, &TCriteriaPanel::OnFromDateClicked);
    connect(cbToDate, &QCheckBox::clicked, this, &TCriteriaPanel::OnToDateClicked);
    connect(cbSearchLastDays, &QCheckBox::clicked, this, &TCriteriaPanel::OnSearchLastDaysClicked);
    for (QCheckBox* box : {cbFromDate, cbToDate, cbSearchLastDays})
        connect(box, &QCheckBox::toggled, this, &TCriteriaPanel::ApplyIdleRules);
    ApplyIdleRules();
}

void TCriteriaPanel::BuildSitesPanel() {
    auto* layout = new QVBoxLayout(cpSitesToSearch->Body());
    static const std::array<const char*, cSiteSearchCount> cNames = {
        "cbSearchInCraigslist", "cbSearchInBackpage", "cbSearchInOodle",
        "cbSearchInEBay",       "cbSearchInCarsCom",  "cbSearchInAutotrader"};
    for (int site = 0; site < cSiteSearchCount; ++site) {
        cbSearchIn[site] = new QCheckBox(QString::fromStdString(cSiteSearchStr[site]), cpSitesToSearch->Body());
        cbSearchIn[site]->setObjectName(cNames[site]);
        cbSearchIn[site]->setProperty("tag", site + 1);
        layout->addWidget(cbSearchIn[site]);
        connect(cbSearchIn[site], &QCheckBox::clicked, this, &TCriteriaPanel::OnSiteClicked);
    }
}

void TCriteriaPanel::BuildFooter(QVBoxLayout* aLayout) {
    pnlLeftPanelFooter = new QWidget(this);
    pnlLeftPanelFooter->setObjectName("pnlLeftPanelFooter");
    auto* footer = new QGridLayout(pnlLeftPanelFooter);
    cbClearResults = new QCheckBox("Clear old results", pnlLeftPanelFooter);
    cbClearResults->setObjectName("cbClearResults");
    cbMapPreviewOnFinish = new QCheckBox("Show map on finish", pnlLeftPanelFooter);
    cbMapPreviewOnFinish->setObjectName("cbMapPreviewOnFinish");
    btnWizzard = new QPushButton("Wizzard", pnlLeftPanelFooter);
    btnWizzard->setObjectName("btnWizzard");
    btnSearch = new QPushButton("Start search", pnlLeftPanelFooter);
    btnSearch->setObjectName("btnSearch");
    footer->addWidget(cbClearResults, 0, 0);
    footer->addWidget(cbMapPreviewOnFinish, 1, 0);
    footer->addWidget(btnWizzard, 0, 1);
    footer->addWidget(btnSearch, 1, 1);
    aLayout->addWidget(pnlLeftPanelFooter);
}

void TCriteriaPanel::BuildSummary(QVBoxLayout* aLayout) {
    pnlLeftSummary = new QWidget(this);
    pnlLeftSummary->setObjectName("pnlLeftSummary");
    auto* summary = new QVBoxLayout(pnlLeftSummary);
    summary->setContentsMargins(0, 0, 0, 0);
    tcCriteriaShortcuts = new QTabBar(pnlLeftSummary);
    tcCriteriaShortcuts->setObjectName("tcCriteriaShortcuts");
    tcCriteriaShortcuts->setShape(QTabBar::RoundedWest);
    for (const char* caption : {" Keywords ", " Locations ", " Categories ", " More Options ", " Misc "})
        tcCriteriaShortcuts->addTab(caption);
    summary->addWidget(tcCriteriaShortcuts, 0, Qt::AlignTop);
    summary->addStretch(1);
    pnlLeftSummary->hide();
    aLayout->addWidget(pnlLeftSummary, 1);
}

// --- accordion -------------------------------------------------------------------------

void TCriteriaPanel::OnPanelOpened(TCategoryPanel* aPanel) {
    for (TCategoryPanel* panel : fPanels)
        if (panel != aPanel && panel != cpSitesToSearch) panel->SetOpen(false);
    if (aPanel->MainControl) aPanel->MainControl->setFocus();
}

void TCriteriaPanel::CollapseCategoryPanels() {
    setUpdatesEnabled(false);
    for (TCategoryPanel* panel : fPanels) panel->SetOpen(panel == cpCriteria || panel == cpSitesToSearch);
    setUpdatesEnabled(true);
}

// --- reference data --------------------------------------------------------------------

void TCriteriaPanel::SetReferenceData(const TPlaceList& aCountries, const TPlaceList& aMainCategories,
                                      const TZIPCodes* aZIPCodes) {
    fZIPCodes = aZIPCodes;
    tvLocations->FillLocationsTreeView(aCountries);
    for (int country = 0; country < tvLocations->topLevelItemCount(); ++country) {
        QTreeWidgetItem* item = tvLocations->topLevelItem(country);
        item->setText(0, CountryCaption(item->text(0)));
    }
    tvCategories->FillLocationsTreeView(aMainCategories);
    fLocationHashes.clear();
}

void TCriteriaPanel::SetSiteCaptions(const std::array<std::string, cSiteSearchCount>& aCaptions) {
    for (int site = 0; site < cSiteSearchCount; ++site)
        if (!aCaptions[site].empty()) cbSearchIn[site]->setText(QString::fromStdString(aCaptions[site]));
}

// --- filling the panel from a search ---------------------------------------------------

void TCriteriaPanel::FillControls(TSearch& aSearch) {
    fSearchChanging = true;
    fCurrentSearch = &aSearch;
    if (fGridSearch && fGridSearch != &aSearch) fGridSearch->GetPropertyContainer().SetValueListEditor(nullptr);
    fGridSearch = &aSearch;
    aSearch.GetPropertyContainer().SetValueListEditor(vleCustomOptions);
    vleCustomOptions->SetContainer(&aSearch.GetPropertyContainer());

    const QString name = QString::fromStdString(aSearch.GetName()).trimmed();
    if (!name.isEmpty() && OnCaptionChanged) OnCaptionChanged(name);
    edtSearchName->setText(QString::fromStdString(aSearch.GetName()));
    edtKeywords->setPlainText(QString::fromStdString(aSearch.GetKeywords()));
    cbHasImage->setChecked(aSearch.GetHasImage());
    cbOnlyTitles->setChecked(aSearch.GetOnlySearchTitles());
    cbOnlyCatListing->setChecked(aSearch.GetOnlyCatListings());
    ApplyRawCategoryRule();
    cbClearResults->setChecked(aSearch.GetClearOldResults());
    cbMapPreviewOnFinish->setChecked(false);

    FillLocationMarks(aSearch);
    edtZIPCode->setText(QString::fromStdString(aSearch.GetZIPCode()));
    tbRange->setValue(aSearch.GetDistance());
    gbRange->setTitle(RangeCaption(aSearch.GetDistance()));
    FillDates(aSearch);
    FillCategoryMarks(aSearch);

    HasSelectedLocationsAndCategories(&aSearch);
    edtPageCount->setValue(aSearch.GetPagesCount());
    fCanRenderCustomOptions = false;
    for (int site = 0; site < cSiteSearchCount; ++site) {
        TBaseSiteSearch* siteSearch = aSearch.GetSiteSearch(static_cast<TSiteSearchEnum>(site));
        cbSearchIn[site]->setChecked(siteSearch && siteSearch->GetDoSearch());
    }
    // Rendered once, with this search's own sites: rendering with the previous search's
    // boxes would drop this search's car-site options and their values.
    RenderCustomOptions(&aSearch);
    fCanRenderCustomOptions = true;
    fSearchChanging = false;
    ApplyIdleRules();
    SelectionChanged();
}

void TCriteriaPanel::FillLocationMarks(TSearch& aSearch) {
    tvLocations->setUpdatesEnabled(false);
    auto cached = fLocationHashes.find(&aSearch);
    if (cached != fLocationHashes.end()) {
        tvLocations->SetMarksFromHash(cached->second);
    } else {
        tvLocations->SetAllUnchecked();
        TLocationsTreeHash& hash = fLocationHashes[&aSearch];
        TCLock lock(aSearch.GetCriticalSection());
        const TPlaceWrapperList& locations = aSearch.GetSearchLocations();
        const auto& items = tvLocations->AllItems();
        for (auto item = items.rbegin(); item != items.rend(); ++item) {
            if (locations.GetPlaceWrapperByPlace(TSelectionTree::ItemPlace(*item)))
                tvLocations->ToggleSelectedStateIndex(*item, false, &hash, true);
        }
        tvLocations->collapseAll();
    }
    tvLocations->setUpdatesEnabled(true);
    if (tvLocations->topLevelItemCount() > 0) tvLocations->scrollToTop();
}

void TCriteriaPanel::FillCategoryMarks(TSearch& aSearch) {
    tvCategories->setUpdatesEnabled(false);
    tvCategories->SetAllUnchecked();
    TPlaceList expanded;
    GetCategoriesFromCompressed(aSearch.GetCategories(), expanded);
    const std::unordered_set<const TPlace*> chosen(expanded.begin(), expanded.end());
    const auto& items = tvCategories->AllItems();
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        if (chosen.count(TSelectionTree::ItemPlace(*item)))
            tvCategories->ToggleSelectedStateIndex(*item, false, nullptr, false);
    }
    tvCategories->collapseAll();
    tvCategories->setUpdatesEnabled(true);
}

void TCriteriaPanel::FillDates(const TSearch& aSearch) {
    const QDateTime now = QDateTime::currentDateTime();
    const double from = aSearch.GetDateFrom();
    const double to = aSearch.GetDateTo();
    cbFromDate->setChecked(from > 0);
    dtpFromDate->setDateTime(from > 0 ? DaysToDateTime(from) : now);
    cbToDate->setChecked(to > 0);
    dtpToDate->setDateTime(to > 0 ? DaysToDateTime(to) : now);
    cbSearchLastDays->setChecked(aSearch.GetDoSearchLastDays());
    edtLastDays->setValue(aSearch.GetNumberOfLastDaysToSearch());
}

// --- copying the panel into the search -------------------------------------------------

void TCriteriaPanel::FillSearch(TSearch& aSearch, bool aFillTrees) {
    TCLock lock(aSearch.GetCriticalSection());
    const QString name = edtSearchName->text().trimmed();
    aSearch.SetName(name.isEmpty() ? cUntitled : name.toStdString());
    aSearch.SetKeywords(edtKeywords->toPlainText().toStdString());
    aSearch.SetBackpageKeywords({});
    aSearch.SetHasImage(cbHasImage->isChecked());
    aSearch.SetOnlySearchTitles(cbOnlyTitles->isChecked());
    aSearch.SetOnlyCatListings(cbOnlyCatListing->isChecked());
    if (aFillTrees) {
        aSearch.SetCompressedLocations(tvLocations->GetCompressed());
        aSearch.SetLocationsChanged(true);
        aSearch.SetCategories(tvCategories->GetCompressed());
    }
    aSearch.SetZIPCode(edtZIPCode->text().toStdString());
    aSearch.SetDistance(tbRange->value());
    aSearch.SetDateFrom(cbFromDate->isChecked() ? DateTimeToDays(dtpFromDate->dateTime()) : 0);
    aSearch.SetDateTo(cbToDate->isChecked() ? DateTimeToDays(dtpToDate->dateTime()) : 0);
    aSearch.SetDoSearchLastDays(cbSearchLastDays->isChecked());
    aSearch.SetNumberOfLastDaysToSearch(edtLastDays->value());
    bool isNumber = false;
    const int pages = edtPageCount->text().toInt(&isNumber);
    aSearch.SetPagesCount(isNumber ? pages : cDefaultPagesCount);
    for (int site = 0; site < cSiteSearchCount; ++site) {
        TBaseSiteSearch* siteSearch = aSearch.GetSiteSearch(static_cast<TSiteSearchEnum>(site));
        if (!siteSearch || siteSearch->GetDoSearch() == cbSearchIn[site]->isChecked()) continue;
        siteSearch->SetDoSearch(cbSearchIn[site]->isChecked());
        aSearch.MarkModified();
    }
    aSearch.SetClearOldResults(cbClearResults->isChecked());
    if (!name.isEmpty() && OnCaptionChanged) OnCaptionChanged(name);
}

void TCriteriaPanel::OnFillSearchTimer() {
    if (auto* binding = GetMainThreadBinding(); binding && binding->IsTerminating()) {
        fTimerFillSearch.stop();
        return;
    }
    if (!fCurrentSearch) return;
    try {
        FillSearch(*fCurrentSearch, false);
    } catch (...) {
        // The next tick copies again; a failed copy must not disturb the user.
    }
}

// --- selection -------------------------------------------------------------------------

bool TCriteriaPanel::HasSelectedLocationsAndCategories(const TSearch* aSearch, bool& aLocations,
                                                       bool& aCategories) {
    // The ZIP code as typed counts at once, before the next copy into the search.
    const bool zipCode = !edtZIPCode->text().trimmed().isEmpty() ||
                         (aSearch && !QString::fromStdString(aSearch->GetZIPCode()).trimmed().isEmpty());
    aLocations = tvLocations->HasAnyMark() || zipCode;
    aCategories = tvCategories->HasAnyMark();
    fHasSelectedLocationsAndCategories = aLocations && aCategories;
    return fHasSelectedLocationsAndCategories;
}

bool TCriteriaPanel::HasSelectedLocationsAndCategories(const TSearch* aSearch) {
    bool locations = false;
    bool categories = false;
    return HasSelectedLocationsAndCategories(aSearch, locations, categories);
}

bool TCriteriaPanel::HasSelectedSites() const {
    for (QCheckBox* box : cbSearchIn)
        if (box->isChecked()) return true;
    return false;
}

const TLocationsTreeHash* TCriteriaPanel::LocationsTreeHash(const TSearch* aSearch) const {
    auto found = fLocationHashes.find(aSearch);
    return found == fLocationHashes.end() ? nullptr : &found->second;
}

void TCriteriaPanel::ForgetSearch(const TSearch* aSearch) {
    fLocationHashes.erase(aSearch);
    if (fGridSearch == aSearch) {
        fGridSearch->GetPropertyContainer().SetValueListEditor(nullptr);
        fGridSearch = nullptr;
        vleCustomOptions->SetContainer(nullptr);
        vleCustomOptions->ClearRows();
    }
    if (fCurrentSearch == aSearch) fCurrentSearch = nullptr;
}

void TCriteriaPanel::SelectionChanged() {
    if (OnSelectionChanged) OnSelectionChanged();
}

void TCriteriaPanel::OnLocationToggled(QTreeWidgetItem* aItem) {
    if (!fCurrentSearch) return;  // no location click without a search
    tvLocations->ToggleSelectedStateIndex(aItem, true, &fLocationHashes[fCurrentSearch], false);
    HasSelectedLocationsAndCategories(fCurrentSearch);
    FillSearch(*fCurrentSearch, true);
    SelectionChanged();
}

void TCriteriaPanel::OnCategoryToggled(QTreeWidgetItem* aItem) {
    tvCategories->ToggleSelectedStateIndex(aItem, true, nullptr, false);
    if (fCurrentSearch) {
        HasSelectedLocationsAndCategories(fCurrentSearch);
        FillSearch(*fCurrentSearch, true);
    }
    RenderCustomOptions(fCurrentSearch);
    SelectionChanged();
    tvCategories->setFocus();
}

void TCriteriaPanel::OnSearchLocationsChanged() {
    if (edtSearchLocations->IsEmpty()) return;
    const QString wanted = edtSearchLocations->text().trimmed();
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItem* item : tvLocations->AllItems()) {
        // The place's own name counts too: "united" still finds the country shown as "United States".
        const TPlace* place = TSelectionTree::ItemPlace(item);
        if (item->text(0).contains(wanted, Qt::CaseSensitive) ||
            (place && QString::fromStdString(place->GetName()).contains(wanted, Qt::CaseSensitive))) {
            found = item;
            break;
        }
    }
    QPalette palette = edtSearchLocations->palette();
    palette.setColor(QPalette::Text, found ? QColor(Qt::black) : QColor(Qt::red));
    edtSearchLocations->setPalette(palette);
    if (!found) return;
    tvLocations->scrollToItem(found);
    tvLocations->setCurrentItem(found);
}

// --- check boxes and edits -------------------------------------------------------------

void TCriteriaPanel::ApplyRawCategoryRule() {
    const bool enabled = !cbOnlyCatListing->isChecked();
    for (QWidget* control : std::initializer_list<QWidget*>{cbHasImage, cbOnlyTitles, edtKeywords, lblKeywords, sbtnPhrase,
                                                            sbtnNot, sbtnOR, sbtnGroup, sbtnPredefinedkeywordPatterns})
        control->setEnabled(enabled);
}

void TCriteriaPanel::ApplyIdleRules() {
    dtpFromDate->setEnabled(cbFromDate->isChecked());
    dtpToDate->setEnabled(cbToDate->isChecked());
    edtLastDays->setEnabled(cbSearchLastDays->isChecked());
    const bool noOptions = vleCustomOptions->rowCount() == 0;
    pnlNoCustomOptions->setVisible(noOptions);
    vleCustomOptions->setVisible(!noOptions);
}

void TCriteriaPanel::OnRangeMoved(int aPosition) { gbRange->setTitle(RangeCaption(aPosition)); }

void TCriteriaPanel::OnFromDateClicked(bool aChecked) {
    if (!aChecked) return;
    cbSearchLastDays->setChecked(false);
    dtpFromDate->setDateTime(QDateTime::currentDateTime());
}

void TCriteriaPanel::OnToDateClicked(bool aChecked) {
    if (!aChecked) return;
    cbSearchLastDays->setChecked(false);
    dtpToDate->setDateTime(QDateTime::currentDateTime());
}

void TCriteriaPanel::OnSearchLastDaysClicked(bool aChecked) {
    if (!aChecked) return;
    cbFromDate->setChecked(false);
    cbToDate->setChecked(false);
}

void TCriteriaPanel::OnSiteClicked() {
    if (fCanRenderCustomOptions) RenderCustomOptions(fCurrentSearch);
}

void TCriteriaPanel::OnZIPCodeLeft() {
    if (fCurrentSearch) RefreshCurrentSearchZIPCodeObject(fCurrentSearch, true);
}

void TCriteriaPanel::RefreshCurrentSearchZIPCodeObject(TSearch* aSearch, bool aValidate,
                                                       const std::string* aZIPCode) {
    if (!aSearch) return;
    {
        TCLock lock(aSearch->GetCriticalSection());
        aSearch->SetZIPCodeObject(nullptr);
    }
    if (aZIPCode) edtZIPCode->setText(QString::fromStdString(*aZIPCode));
    const QString typed = edtZIPCode->text().trimmed();
    if (typed.isEmpty()) return;
    const std::string padded = AddZerosAtStart(typed.toStdString(), cZIPCodeLength);
    edtZIPCode->setText(QString::fromStdString(padded));
    std::unique_ptr<TZipCode> code = fZIPCodes ? fZIPCodes->GetCode(padded) : nullptr;
    if (!code && aValidate) {
        fDialogs.Warning(cInvalidZIPCode);
        return;
    }
    TCLock lock(aSearch->GetCriticalSection());
    aSearch->SetZIPCode(padded);
    aSearch->SetZIPCodeObject(std::move(code));
}

void TCriteriaPanel::ClearAllFields() {
    edtKeywords->clear();
    cbHasImage->setChecked(false);
    cbOnlyTitles->setChecked(false);
    cbOnlyCatListing->setChecked(false);
    ApplyRawCategoryRule();
    edtSearchLocations->SetText(QString());
    tvLocations->SetAllUnchecked();
    tvCategories->SetAllUnchecked();
    // The mark cache stands for the tree; left behind it would bring the old marks back.
    if (fCurrentSearch) fLocationHashes[fCurrentSearch].clear();
    RenderCustomOptions(fCurrentSearch);
    SelectionChanged();
    HasSelectedLocationsAndCategories(fCurrentSearch);
}

// --- keywords --------------------------------------------------------------------------

void TCriteriaPanel::OnKeywordOperator(int aOperator) {
    QTextCursor cursor = edtKeywords->textCursor();
    const QString text = edtKeywords->toPlainText();
    TKeywordEdit edit;
    edit.text = text.toStdString();
    edit.selStart = ByteOffset(text, cursor.selectionStart());
    edit.selLength = ByteOffset(text, cursor.selectionEnd()) - edit.selStart;
    TKeywordEdit result;
    switch (aOperator) {
        case koOr: result = ApplyOrOperator(edit); break;
        case koNot: result = ApplyNotOperator(edit); break;
        case koPhrase: result = ApplyPhraseOperator(edit); break;
        default: result = ApplyGroupOperator(edit); break;
    }
    edtKeywords->setPlainText(QString::fromStdString(result.text));
    QTextCursor caret = edtKeywords->textCursor();
    caret.setPosition(CharPosition(result.text, result.selStart));
    edtKeywords->setTextCursor(caret);
    edtKeywords->setFocus();
}

void TCriteriaPanel::OnPredefinedKeywordPatterns() {
    if (!fCurrentSearch) return;
    TKeywordPattern pattern{fCurrentSearch->GetAllThese(), fCurrentSearch->GetExact(), fCurrentSearch->GetOR1(),
                            fCurrentSearch->GetOR2(),      fCurrentSearch->GetOR3(),   fCurrentSearch->GetNoneOfThese()};
    if (!KeywordPatternsDialog || !KeywordPatternsDialog(pattern)) return;
    const TKeywordPattern stored = PatternToStore(pattern);
    fCurrentSearch->SetAllThese(stored.allThese);
    fCurrentSearch->SetExact(stored.exact);
    fCurrentSearch->SetOR1(stored.or1);
    fCurrentSearch->SetOR2(stored.or2);
    fCurrentSearch->SetOR3(stored.or3);
    fCurrentSearch->SetNoneOfThese(stored.noneOfThese);
    fCurrentSearch->SetKeywords(BuildKeywordsFromPattern(pattern));
    edtKeywords->setPlainText(QString::fromStdString(fCurrentSearch->GetKeywords()));
}

// The keyword box grows while it is being edited or holds a long line, and shrinks back
// half a second after the focus leaves it (so that a click on an operator button lands).
void TCriteriaPanel::RefreshKeywordsHeight(int aTextLength) {
    const bool large = edtKeywords->hasFocus() || aTextLength > cLongKeywords;
    const int height = large ? cKeywordsEditingHeight : cKeywordsHeight;
    if (edtKeywords->height() == height) return;
    edtKeywords->setFixedHeight(height);
    edtKeywords->setVerticalScrollBarPolicy(large ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}

bool TCriteriaPanel::eventFilter(QObject* aWatched, QEvent* aEvent) {
    if (aWatched == edtKeywords && (aEvent->type() == QEvent::FocusIn || aEvent->type() == QEvent::FocusOut)) {
        QTimer::singleShot(cKeywordsResizeDelayMs, this,
                           [this] { RefreshKeywordsHeight(static_cast<int>(edtKeywords->toPlainText().size())); });
    }
    return QWidget::eventFilter(aWatched, aEvent);
}

// --- options ---------------------------------------------------------------------------

void TCriteriaPanel::RenderCustomOptions(TSearch* aSearch) {
    if (!aSearch) {
        vleCustomOptions->ClearRows();
        ApplyIdleRules();
        return;
    }
    // An open cell editor would write into rows that are about to go.
    if (vleCustomOptions->IsEditing()) vleCustomOptions->setFocus();
    vleCustomOptions->setCurrentItem(nullptr);
    TPropertyContainer& container = aSearch->GetPropertyContainer();
    container.SetOnFillWithProperties([this](TPropertyContainer& aContainer) { FillPropertiesOf(aContainer); });
    if (fGridSearch == aSearch) container.Render();
    ApplyIdleRules();
}

void TCriteriaPanel::FillPropertiesOf(TPropertyContainer& aContainer) {
    const TPropertySelection selection = TPropertySelection::FromCategoryNames(
        tvCategories->MarkedTopLevelNames(), cbSearchIn[ssCarsCom]->isChecked(), cbSearchIn[ssAutotrader]->isChecked());
    const TFillPropertiesResult result = FillProperties(aContainer, selection);
    if (result.NewOptionsAvailable() && !fSearchChanging && OnNewOptionsAvailable) OnNewOptionsAvailable();
}

}  // namespace trawlix
