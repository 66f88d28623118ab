#pragma once

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabBar>
#include <QToolButton>

#include <array>

#include "engine/site_search_enum.h"
#include "find_widget.h"
#include "ui_test_support.h"
#include "ui/criteria_panel.h"
#include "ui/ext_edit.h"
#include "ui/option_grid.h"
#include "ui/selection_tree.h"

namespace trawlix::test {

// The criteria panel's controls, each found by its name in the panel as it stands.
class TCriteriaControls {
    const TCriteriaPanel* fPanel;  // first: the lookups below run in declaration order

    template <class T>
    T* Find(const char* aName) const { return Widget<T>(fPanel, aName); }

public:
    explicit TCriteriaControls(const TCriteriaPanel* aPanel) : fPanel(aPanel) {
        static const std::array<const char*, cSiteSearchCount> cSiteBoxes = {
            "cbSearchInCraigslist", "cbSearchInBackpage", "cbSearchInOodle",
            "cbSearchInEBay",       "cbSearchInCarsCom",  "cbSearchInAutotrader"};
        for (int site = 0; site < cSiteSearchCount; ++site) cbSearchIn[site] = Find<QCheckBox>(cSiteBoxes[site]);
    }

    QLabel* pnlLeftPanelHeader = Find<QLabel>("pnlLeftPanelHeader");
    QToolButton* tbtnHideCriteria = Find<QToolButton>("tbtnHideCriteria");
    TCategoryPanel* cpCriteria = Find<TCategoryPanel>("cpCriteria");
    TCategoryPanel* cpLocations = Find<TCategoryPanel>("cpLocations");
    TCategoryPanel* cpCategories = Find<TCategoryPanel>("cpCategories");
    TCategoryPanel* cpCustomProps = Find<TCategoryPanel>("cpCustomProps");
    TCategoryPanel* cpMisc = Find<TCategoryPanel>("cpMisc");
    TCategoryPanel* cpSitesToSearch = Find<TCategoryPanel>("cpSitesToSearch");
    QLineEdit* edtSearchName = Find<QLineEdit>("edtSearchName");
    QPlainTextEdit* edtKeywords = Find<QPlainTextEdit>("edtKeywords");
    QPushButton* sbtnOR = Find<QPushButton>("sbtnOR");
    QPushButton* sbtnNot = Find<QPushButton>("sbtnNot");
    QPushButton* sbtnPhrase = Find<QPushButton>("sbtnPhrase");
    QPushButton* sbtnGroup = Find<QPushButton>("sbtnGroup");
    QPushButton* sbtnPredefinedkeywordPatterns = Find<QPushButton>("sbtnPredefinedkeywordPatterns");
    QCheckBox* cbOnlyTitles = Find<QCheckBox>("cbOnlyTitles");
    QCheckBox* cbHasImage = Find<QCheckBox>("cbHasImage");
    QCheckBox* cbOnlyCatListing = Find<QCheckBox>("cbOnlyCatListing");
    TCExtEdit* edtSearchLocations = Find<TCExtEdit>("edtSearchLocations");
    TSelectionTree* tvLocations = Find<TSelectionTree>("tvLocations");
    QLineEdit* edtZIPCode = Find<QLineEdit>("edtZIPCode");
    TSelectionTree* tvCategories = Find<TSelectionTree>("tvCategories");
    TOptionGrid* vleCustomOptions = Find<TOptionGrid>("vleCustomOptions");
    QWidget* pnlNoCustomOptions = Find<QWidget>("pnlNoCustomOptions");
    QSpinBox* edtPageCount = Find<QSpinBox>("edtPageCount");
    QPushButton* sbtnClearAllFields = Find<QPushButton>("sbtnClearAllFields");
    QCheckBox* cbFromDate = Find<QCheckBox>("cbFromDate");
    QDateTimeEdit* dtpFromDate = Find<QDateTimeEdit>("dtpFromDate");
    QCheckBox* cbToDate = Find<QCheckBox>("cbToDate");
    QDateTimeEdit* dtpToDate = Find<QDateTimeEdit>("dtpToDate");
    QCheckBox* cbSearchLastDays = Find<QCheckBox>("cbSearchLastDays");
    QSpinBox* edtLastDays = Find<QSpinBox>("edtLastDays");
    std::array<QCheckBox*, cSiteSearchCount> cbSearchIn{};
    QWidget* pnlLeftPanelFooter = Find<QWidget>("pnlLeftPanelFooter");
    QWidget* pnlLeftSummary = Find<QWidget>("pnlLeftSummary");
    QTabBar* tcCriteriaShortcuts = Find<QTabBar>("tcCriteriaShortcuts");
};

// Fills the panel as a user would with a Craigslist search for antiques in the SF bay
// area, aPages pages deep.
inline void FillAntiquesSearch(const TCriteriaPanel* aPanel, const QString& aKeywords, int aPages) {
    const TCriteriaControls ui(aPanel);
    ui.edtKeywords->setPlainText(aKeywords);
    ui.cpLocations->SetOpen(true);
    Tick(ui.tvLocations, "SF bay area");
    ui.cpCategories->SetOpen(true);
    Tick(ui.tvCategories, "antiques");
    for (QCheckBox* box : ui.cbSearchIn) box->setChecked(false);
    ui.cbSearchIn[ssCraigslist]->setChecked(true);
    ui.edtPageCount->setValue(aPages);
}

}  // namespace trawlix::test
