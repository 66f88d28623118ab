#pragma once

// What the criteria panel's widget building and its binding to the search share.

#include <QString>

#include <array>

#include "engine/site_search_enum.h"

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;
class QObject;
class QPlainTextEdit;
class QSlider;
class QSpinBox;

namespace trawlix {
class TSearch;
class TSelectionTree;
}

namespace trawlix::criteria_panel {

constexpr int cDefaultPagesCount = 2;
constexpr int cKeywordsHeight = 60;

enum TKeywordOperator { koOr, koNot, koPhrase, koGroup };

// Applies an operator button to the keyword box's selection, as the keyword syntax says.
void ApplyKeywordOperator(QPlainTextEdit& aBox, TKeywordOperator aOperator);

// The keyword box and its options, shown and stored alike by the panel and the search wizard.
struct TKeywordControls {
    QPlainTextEdit* keywords;
    QCheckBox* hasImage;
    QCheckBox* onlyTitles;
    QCheckBox* onlyCatListings;
};

void ShowKeywords(const TKeywordControls& aControls, const TSearch& aSearch);
void StoreKeywords(const TKeywordControls& aControls, TSearch& aSearch);

// The date boxes the panel and the search wizard both show a search's dates in.
struct TDateControls {
    QCheckBox* fromChecked;
    QDateTimeEdit* from;
    QCheckBox* toChecked;
    QDateTimeEdit* to;
    QCheckBox* lastDaysChecked;
    QSpinBox* lastDays;
};

// A date left unset shows today, unticked.
void ShowDates(const TDateControls& aControls, const TSearch& aSearch);
void StoreDates(const TDateControls& aControls, TSearch& aSearch);
// A date range and "the last days" exclude each other; ticking a date box sets its date to
// now. Unticking changes nothing else. The connections live as long as aContext.
void ConnectDateRules(const TDateControls& aControls, QObject* aContext);

// Where the panel and the search wizard say a search looks.
struct TPlaceControls {
    TSelectionTree* locations;
    TSelectionTree* categories;
    QLineEdit* zipCode;
    QSlider* range;
};

// Stores the ZIP code as typed and the range, and the trees' marks too with aWithTrees.
void StorePlaces(const TPlaceControls& aControls, TSearch& aSearch, bool aWithTrees);
void ShowSitesOfSearch(const std::array<QCheckBox*, cSiteSearchCount>& aBoxes, TSearch& aSearch);
// Only a site whose box changed marks the search modified.
void StoreSitesToSearch(const std::array<QCheckBox*, cSiteSearchCount>& aBoxes, TSearch& aSearch);

inline QString RangeCaption(int aMiles) { return QString("Include places in the range of %1 miles").arg(aMiles); }

}  // namespace trawlix::criteria_panel
