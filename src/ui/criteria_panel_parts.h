#pragma once

// What the criteria panel's widget building and its binding to the search share.

#include <QString>

class QPlainTextEdit;

namespace trawlix::criteria_panel {

constexpr int cDefaultPagesCount = 2;
constexpr int cKeywordsHeight = 60;

enum TKeywordOperator { koOr, koNot, koPhrase, koGroup };

// Applies an operator button to the keyword box's selection, as the keyword syntax says.
void ApplyKeywordOperator(QPlainTextEdit& aBox, TKeywordOperator aOperator);

inline QString RangeCaption(int aMiles) { return QString("Include places in the range of %1 miles").arg(aMiles); }

}  // namespace trawlix::criteria_panel
