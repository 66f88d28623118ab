#pragma once

#include <QDialog>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "engine/keyword_syntax.h"
#include "engine/site_search_enum.h"
#include "model/places.h"
#include "ui/criteria_panel_parts.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QStackedWidget;

namespace trawlix {

class IUserDialogs;
class TCExtEdit;
class TSearch;
class TSearches;
class TSelectionTree;
class TZIPCodes;

// "Choose a search": picks one of the other searches, whose marks the wizard copies.
class TformChooseSearch : public QDialog {
    Q_OBJECT
public:
    TformChooseSearch(IUserDialogs& aDialogs, QWidget* aParent = nullptr);
    // Lists every search but aLeaveOut; true when one was chosen (then in SearchChosen()).
    bool Execute(const TSearches& aSearches, const TSearch* aLeaveOut);
    TSearch* SearchChosen() const { return fSearchChosen; }

private:
    void OnOk();

    IUserDialogs& fDialogs;
    QComboBox* cboxSearches;
    QPushButton* btnOk;
    TSearch* fSearchChosen = nullptr;
};

// The search wizard: a search's title and keywords, its locations and categories, and its
// options, one step at a time. Made once and reused for every run.
class TformSearchWizard : public QDialog {
    Q_OBJECT
public:
    TformSearchWizard(IUserDialogs& aDialogs, QWidget* aParent = nullptr);
    ~TformSearchWizard() override;

    // Builds both trees; the first run needs them. The site boxes show each site's domain.
    void SetReferenceData(const TPlaceList& aCountries, const TPlaceList& aMainCategories, const TZIPCodes* aZIPCodes,
                          const std::array<std::string, cSiteSearchCount>& aSiteCaptions);
    // The searches "Copy from another search" offers.
    void SetSearches(const TSearches* aSearches) { fSearches = aSearches; }

    // Runs the wizard on aSearch, or on a new search when none; true when the user finished.
    // A finished new search is handed over by TakeNewSearch(); a cancelled one is gone, and
    // a cancelled run leaves an existing search as it was.
    bool Execute(TSearch* aSearch, bool aShowWizardSetting);
    std::unique_ptr<TSearch> TakeNewSearch() { return std::move(fNewSearch); }
    // What the user chose on the last page, for after a finished run.
    bool ShowWizardChosen() const;
    bool SetupAlertsChosen() const;
    bool StartSearchChosen() const;

    void FillControls(TSearch& aSearch);
    void FillSearch(TSearch& aSearch);
    // Whether the wizard may leave aPage (-1: finish); with aShowMessage the reason is shown.
    bool ValidateSearch(int aPage, bool aShowMessage);

    // The pattern dialog; tests replace it to answer without a modal window.
    std::function<bool(TKeywordPattern& aPattern)> KeywordPatternsDialog;
    // The "Choose a search" dialog; tests reach it through ChooseSearchDialog().
    TformChooseSearch& ChooseSearchDialog() { return *fChooseSearch; }

    enum TPage { tpKeywords, tpLocationsAndCategories, tpSearchOptions, cPageCount };

protected:
    void keyPressEvent(QKeyEvent* aEvent) override;

private:
    QWidget* BuildKeywordsPage();
    QWidget* BuildLocationsPage();
    QWidget* BuildOptionsPage();
    void BuildButtons(QGridLayout* aLayout);

    void ShowPage(int aPage);
    void UpdateButtons();
    void OnBack();
    void OnNext();
    void OnFinish();
    void ApplyRawCategoryRule();
    void OnKeywordOperator(int aOperator);
    void OnPredefinedKeywordPatterns();
    void OnCopyFromAnotherSearch();
    void FillDates(const TSearch& aSearch);

    QListWidget* lvPages;
    QStackedWidget* PageControl;
    TCExtEdit* edtCaption;
    QPushButton* sbtnPredefinedkeywordPatterns;
    QPlainTextEdit* edtKeywords;
    QPushButton* sbtnOR;
    QPushButton* sbtnNot;
    QPushButton* sbtnPhrase;
    QPushButton* sbtnGroup;
    QCheckBox* cbHasImage;
    QCheckBox* cbOnlyTitles;
    QCheckBox* cbOnlyCatListing;
    TCExtEdit* edtSearchLocations;
    TSelectionTree* tvLocations;
    QLineEdit* edtZIPCode;
    QGroupBox* gbRange;
    QSlider* tbRange;
    TSelectionTree* tvCategories;
    QPushButton* btnCopyFromAnotherAd;
    QSpinBox* edtPageCount;
    criteria_panel::TDateControls fDates{};
    std::array<QCheckBox*, cSiteSearchCount> cbSearchIn{};
    QCheckBox* cbSetupAlerts;
    QCheckBox* cbStartSearch;
    QCheckBox* cbClearOldResults;
    QCheckBox* cbShowSearchWizzard;
    QPushButton* btnBack;
    QPushButton* btnNext;
    QPushButton* btnFinish;

    IUserDialogs& fDialogs;
    TformChooseSearch* fChooseSearch;
    const TZIPCodes* fZIPCodes = nullptr;
    const TSearches* fSearches = nullptr;
    TSearch* fSearch = nullptr;
    std::unique_ptr<TSearch> fNewSearch;
    TKeywordPattern fPattern;
    bool fFillSearchKeywordPatterns = false;
};

}  // namespace trawlix
