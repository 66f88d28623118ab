#pragma once

// What the criteria panel's widget building and its binding to the search share.

#include <QString>

namespace trawlix::criteria_panel {

constexpr int cDefaultPagesCount = 2;
constexpr int cKeywordsHeight = 60;

enum TKeywordOperator { koOr, koNot, koPhrase, koGroup };

inline QString RangeCaption(int aMiles) { return QString("Include places in the range of %1 miles").arg(aMiles); }

}  // namespace trawlix::criteria_panel
