#include "ui/criteria_panel.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLocale>
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
#include <QToolButton>
#include <QVBoxLayout>

#include "model/search.h"
#include "ui/criteria_panel_parts.h"
#include "ui/ext_edit.h"
#include "ui/keyword_patterns_dialog.h"
#include "ui/map_location_picker.h"
#include "ui/option_grid.h"
#include "ui/user_dialogs.h"

namespace trawlix {

using namespace criteria_panel;

namespace {

constexpr const char* cHeaderCaption = "   Search settings";

QPushButton* SmallButton(const QString& aCaption, const QString& aHint, const QString& aName, QWidget* aParent) {
    auto* button = new QPushButton(aCaption, aParent);
    button->setToolTip(aHint);
    button->setObjectName(aName);
    return button;
}

}  // namespace

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
    connect(btnSearch, &QPushButton::clicked, this, [this] {
        if (OnSearchClicked) OnSearchClicked();
    });
    connect(tbtnHideCriteria, &QToolButton::clicked, this, [this] {
        if (OnHideShowClicked) OnHideShowClicked(-1);
    });
    connect(tcCriteriaShortcuts, &QTabBar::tabBarClicked, this, [this](int aTab) {
        if (OnHideShowClicked) OnHideShowClicked(aTab);
    });
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
    cpCriteria->setObjectName("cpCriteria");
    cpLocations->setObjectName("cpLocations");
    cpCategories->setObjectName("cpCategories");
    cpCustomProps->setObjectName("cpCustomProps");
    cpMisc->setObjectName("cpMisc");
    cpSitesToSearch->setObjectName("cpSitesToSearch");
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
    lblKeywords->setObjectName("lblKeywords");
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
    fMapPicker = std::make_unique<TMapLocationPicker>(
        *tvLocations, cpLocations->Body(), [this](QTreeWidgetItem* aItem) { OnLocationToggled(aItem); });
    layout->addWidget(fMapPicker->btnSelectOnMap, 0, Qt::AlignLeft);
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
    fDates.fromChecked = new QCheckBox("From date", dates);
    fDates.from = new QDateTimeEdit(QDateTime::currentDateTime(), dates);
    fDates.toChecked = new QCheckBox("To date", dates);
    fDates.to = new QDateTimeEdit(QDateTime::currentDateTime(), dates);
    fDates.lastDaysChecked = new QCheckBox("Search within the last", dates);
    fDates.lastDays = new QSpinBox(dates);
    fDates.lastDays->setRange(1, 100);
    fDates.lastDays->setValue(1);
    fDates.fromChecked->setObjectName("cbFromDate");
    fDates.from->setObjectName("dtpFromDate");
    fDates.toChecked->setObjectName("cbToDate");
    fDates.to->setObjectName("dtpToDate");
    fDates.lastDaysChecked->setObjectName("cbSearchLastDays");
    fDates.lastDays->setObjectName("edtLastDays");
    for (QDateTimeEdit* picker : {fDates.from, fDates.to}) {
        picker->setCalendarPopup(true);
        // The day is what the range is about: with the time too the picker was wider than
        // the panel, and cut.
        picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
        picker->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    // Each picker under its box, across the panel: beside it the picker was cut.
    grid->addWidget(fDates.fromChecked, 0, 0, 1, 3);
    grid->addWidget(fDates.from, 1, 0, 1, 3);
    grid->addWidget(fDates.toChecked, 2, 0, 1, 3);
    grid->addWidget(fDates.to, 3, 0, 1, 3);
    grid->addWidget(new QLabel("- OR -", dates), 4, 0, 1, 3, Qt::AlignHCenter);
    grid->addWidget(fDates.lastDaysChecked, 5, 0);
    grid->addWidget(fDates.lastDays, 5, 1);
    grid->addWidget(new QLabel("day(s)", dates), 5, 2);
    layout->addWidget(dates);

    connect(sbtnClearAllFields, &QPushButton::clicked, this, &TCriteriaPanel::ClearAllFields);
    ConnectDateRules(fDates, this);
    for (QCheckBox* box : {fDates.fromChecked, fDates.toChecked, fDates.lastDaysChecked})
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
    btnWizzard = new QPushButton("Wizard", pnlLeftPanelFooter);
    btnWizzard->setObjectName("btnWizzard");
    connect(btnWizzard, &QPushButton::clicked, this, [this] {
        if (OnWizardClicked) OnWizardClicked();
    });
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

// --- the frame the window folds and drives --------------------------------------------

bool TCriteriaPanel::Collapsed() const { return pnlLeftSummary->isVisibleTo(this); }

void TCriteriaPanel::SetCollapsed(bool aCollapsed, int aShortcutTab) {
    pnlLeftPanelHeader->setText(aCollapsed ? QString() : QString(cHeaderCaption));
    CategoryPanelGroup->parentWidget()->parentWidget()->setVisible(!aCollapsed);  // the accordion's scroll area
    pnlLeftPanelFooter->setVisible(!aCollapsed);
    pnlLeftSummary->setVisible(aCollapsed);
    tbtnHideCriteria->setIcon(QIcon(aCollapsed ? ":/pictures/expand.svg" : ":/pictures/collapse.svg"));
    if (aCollapsed) return;
    TCategoryPanel* shortcuts[] = {cpCriteria, cpLocations, cpCategories, cpCustomProps, cpMisc};
    if (aShortcutTab >= 0 && aShortcutTab < static_cast<int>(std::size(shortcuts))) {
        shortcuts[aShortcutTab]->SetOpen(true);
        emit shortcuts[aShortcutTab]->Opened(shortcuts[aShortcutTab]);
    }
    cpSitesToSearch->SetOpen(true);
}

bool TCriteriaPanel::HasZIPCode() const { return !edtZIPCode->text().trimmed().isEmpty(); }

bool TCriteriaPanel::ClearResultsBeforeSearch() const { return cbClearResults->isChecked(); }

bool TCriteriaPanel::MapPreviewOnFinish() const { return cbMapPreviewOnFinish->isChecked(); }

void TCriteriaPanel::FocusSearchName() { edtSearchName->setFocus(); }

void TCriteriaPanel::SetSearchEnabled(bool aEnabled) { btnSearch->setEnabled(aEnabled); }

void TCriteriaPanel::SetSearchCaption(const QString& aCaption) { btnSearch->setText(aCaption); }

QWidget* TCriteriaPanel::LocationsPanel() const { return cpLocations; }

QWidget* TCriteriaPanel::CategoriesPanel() const { return cpCategories; }

QWidget* TCriteriaPanel::CustomOptionsPanel() const { return cpCustomProps; }

}  // namespace trawlix
