#pragma once

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/keyword_syntax.h"
#include "engine/site_search_enum.h"
#include "ui/criteria_panel_parts.h"
#include "ui/selection_tree.h"

class QCheckBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QTabBar;
class QToolButton;
class QVBoxLayout;

namespace trawlix {

class IUserDialogs;
class TCExtEdit;
class TMapLocationPicker;
class TCategories;
class TOptionGrid;
class TPlaces;
class TPropertyContainer;
class TSearch;
class TZIPCodes;
class TZipCode;

// One collapsible panel of the criteria accordion: a header button over its content.
class TCategoryPanel : public QWidget {
    Q_OBJECT
public:
    TCategoryPanel(const QString& aCaption, QWidget* aParent);
    QWidget* Body() const { return fBody; }
    QToolButton* Header() const { return fHeader; }
    bool IsOpen() const;
    void SetOpen(bool aOpen);
    // The control that takes the focus when the panel is opened (none for "Keywords").
    QWidget* MainControl = nullptr;

signals:
    void Opened(TCategoryPanel* aPanel);

private:
    QToolButton* fHeader;
    QWidget* fBody;
};

// The criteria panel: edits the current search's name, keywords, locations, categories,
// ZIP code and range, dates, pages, sites and options, and copies them into the search.
class TCriteriaPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int cDesignedWidth = 317;
    static constexpr int cFillSearchIntervalMs = 300;

    TCriteriaPanel(IUserDialogs& aDialogs, QWidget* aParent = nullptr);
    ~TCriteriaPanel() override;

    // Builds both trees once, when the reference data has been loaded.
    // aCountries: the location tree's top level; aMainCategories: the category tree's.
    void SetReferenceData(const TPlaceList& aCountries, const TPlaceList& aMainCategories, const TZIPCodes* aZIPCodes);
    // The site boxes show each site's domain name, in TSiteSearchEnum order.
    void SetSiteCaptions(const std::array<std::string, cSiteSearchCount>& aCaptions);

    // The search the panel edits (the selected tab's), or none. Does not fill the controls.
    void SetCurrentSearch(TSearch* aSearch) { fCurrentSearch = aSearch; }
    TSearch* CurrentSearch() const { return fCurrentSearch; }
    // Shows the search in the panel; detaches the options grid from the previous search.
    void FillControls(TSearch& aSearch);
    // A warning sign and the problem as the tip on each site box whose last run of aSearch
    // met one.
    void ShowSiteProblems(const TSearch& aSearch);
    // Copies the panel into the search; the trees only when asked (they are large).
    void FillSearch(TSearch& aSearch, bool aFillTrees);
    bool HasSelectedLocationsAndCategories(const TSearch* aSearch, bool& aLocations, bool& aCategories);
    bool HasSelectedLocationsAndCategories(const TSearch* aSearch);
    bool HasSelectedSites() const;
    // Swaps a ticked From date on a later day than the ticked To date; true when it did.
    bool SwapReversedDates();
    // Pads and looks the ZIP code up; with aValidate an unknown code is reported.
    void RefreshCurrentSearchZIPCodeObject(TSearch* aSearch, bool aValidate, const std::string* aZIPCode = nullptr);
    void ClearAllFields();
    void CollapseCategoryPanels();
    void RenderCustomOptions(TSearch* aSearch);
    void RefreshKeywordsHeight(int aTextLength);
    // The search is going away: forget its cached marks and any link to it.
    void ForgetSearch(const TSearch* aSearch);
    // The copy every 300 ms; started by the window once the tabs exist.
    QTimer& TimerFillSearch() { return fTimerFillSearch; }

    bool LastHasSelectedLocationsAndCategories() const { return fHasSelectedLocationsAndCategories; }
    bool SearchChanging() const { return fSearchChanging; }
    const TLocationsTreeHash* LocationsTreeHash(const TSearch* aSearch) const;

    // Folded down to the strip of shortcuts.
    bool Collapsed() const;
    // Folds the panel, or opens it again with the sites and the group of aShortcutTab (none: -1) open.
    void SetCollapsed(bool aCollapsed, int aShortcutTab = -1);
    bool HasZIPCode() const;
    bool ClearResultsBeforeSearch() const;
    // "Show map on finish": the map preview comes up when a run of the search ends.
    bool MapPreviewOnFinish() const;
    void FocusSearchName();
    // The footer's search button mirrors the window's search action.
    void SetSearchEnabled(bool aEnabled);
    void SetSearchCaption(const QString& aCaption);
    // The groups the window's balloons point at.
    QWidget* LocationsPanel() const;
    QWidget* CategoriesPanel() const;
    QWidget* CustomOptionsPanel() const;

    // Events for the window.
    std::function<void()> OnSelectionChanged;        // the empty-search hint may change
    std::function<void()> OnNewOptionsAvailable;     // "More options are available..."
    std::function<void(const QString&)> OnCaptionChanged;  // the tab caption follows the name
    std::function<void()> OnSearchClicked;           // the footer's search button
    std::function<void()> OnWizardClicked;           // the footer's wizard button
    // The hide button (aShortcutTab -1) or a shortcut of the folded panel was clicked.
    std::function<void(int aShortcutTab)> OnHideShowClicked;

    // The pattern dialog; tests replace it to answer without a modal window.
    std::function<bool(TKeywordPattern& aPattern)> KeywordPatternsDialog;

protected:
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

private:
    void BuildHeader(QVBoxLayout* aLayout);
    void BuildAccordion(QVBoxLayout* aLayout);
    void BuildKeywordsPanel();
    void BuildLocationsPanel();
    void BuildCategoriesPanel();
    void BuildOptionsPanel();
    void BuildMiscPanel();
    void BuildSitesPanel();
    void BuildFooter(QVBoxLayout* aLayout);
    void BuildSummary(QVBoxLayout* aLayout);
    void OnPanelOpened(TCategoryPanel* aPanel);

    void FillLocationMarks(TSearch& aSearch);
    void FillCategoryMarks(TSearch& aSearch);
    void FillDates(const TSearch& aSearch);
    void ApplyRawCategoryRule();
    void ApplyIdleRules();
    void FillPropertiesOf(TPropertyContainer& aContainer);

    void OnLocationToggled(QTreeWidgetItem* aItem);
    void OnCategoryToggled(QTreeWidgetItem* aItem);
    void OnSearchLocationsChanged();
    void OnRangeMoved(int aPosition);
    void OnSiteClicked();
    void OnZIPCodeLeft();
    void OnKeywordOperator(int aOperator);
    void OnPredefinedKeywordPatterns();
    void OnFillSearchTimer();
    void SelectionChanged();

    // The panel's controls, named by kind and content: pnl a panel, cp a collapsible group,
    // edt an edit box, cb a check box, sbtn/tbtn a button, tv a tree, vle the option grid.
    // Each carries its member's name as its object name: that is how the tests find it.
    QWidget* ToolBar1;
    QLabel* pnlLeftPanelHeader;
    QToolButton* tbtnHideCriteria;
    QWidget* CategoryPanelGroup;
    TCategoryPanel* cpCriteria;
    TCategoryPanel* cpLocations;
    TCategoryPanel* cpCategories;
    TCategoryPanel* cpCustomProps;
    TCategoryPanel* cpMisc;
    TCategoryPanel* cpSitesToSearch;
    QLineEdit* edtSearchName;
    QPlainTextEdit* edtKeywords;
    QLabel* lblKeywords;
    QPushButton* sbtnOR;
    QPushButton* sbtnNot;
    QPushButton* sbtnPhrase;
    QPushButton* sbtnGroup;
    QPushButton* sbtnPredefinedkeywordPatterns;
    QCheckBox* cbOnlyTitles;
    QCheckBox* cbHasImage;
    QCheckBox* cbOnlyCatListing;
    TCExtEdit* edtSearchLocations;
    TSelectionTree* tvLocations;
    std::unique_ptr<TMapLocationPicker> fMapPicker;  // "Select on map" below the tree
    QGroupBox* gbRange;
    QSlider* tbRange;
    QLineEdit* edtZIPCode;
    TSelectionTree* tvCategories;
    TOptionGrid* vleCustomOptions;
    QWidget* pnlNoCustomOptions;
    QSpinBox* edtPageCount;
    QPushButton* sbtnClearAllFields;
    criteria_panel::TDateControls fDates{};
    std::array<QCheckBox*, cSiteSearchCount> cbSearchIn{};
    QWidget* pnlLeftPanelFooter;
    QCheckBox* cbClearResults;
    QCheckBox* cbMapPreviewOnFinish;
    QPushButton* btnWizzard;
    QPushButton* btnSearch;
    QWidget* pnlLeftSummary;
    QTabBar* tcCriteriaShortcuts;

    IUserDialogs& fDialogs;
    const TZIPCodes* fZIPCodes = nullptr;
    TSearch* fCurrentSearch = nullptr;
    TSearch* fGridSearch = nullptr;  // whose options the grid shows
    std::unordered_map<const TSearch*, TLocationsTreeHash> fLocationHashes;
    bool fHasSelectedLocationsAndCategories = false;
    bool fSearchChanging = false;
    bool fCanRenderCustomOptions = true;
    QTimer fTimerFillSearch;
    std::vector<TCategoryPanel*> fPanels;
};

// Dates as the searches keep them: days since 30 December 1899, local time.
double DateTimeToDays(const QDateTime& aDateTime);
QDateTime DaysToDateTime(double aDays);
// A ZIP code box padded with leading zeros and looked up; with aValidate an unknown code is
// reported. An empty code means the box was blank; no object means the code is unknown.
struct TZIPCodeLookup {
    std::string code;
    std::unique_ptr<TZipCode> object;
};
TZIPCodeLookup LookUpZIPCodeBox(QLineEdit& aBox, const TZIPCodes* aZIPCodes, IUserDialogs& aDialogs, bool aValidate);
// The search box over a location tree: selects the first node containing the box's text,
// and shows the text red when none does.
void FindInLocationTree(TCExtEdit& aBox, TSelectionTree& aTree);
// Prepends "0" until the text has aTotalLength characters; longer texts stay as they are.
std::string AddZerosAtStart(const std::string& aStr, size_t aTotalLength);

}  // namespace trawlix
