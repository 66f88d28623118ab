#pragma once

class QCheckBox;
class QDateTimeEdit;

namespace trawlix {

inline constexpr const char* cDatesSwapped = "The From date was after the To date: the two dates were swapped.";

// A ticked From date on a later day than a ticked To date would find nothing, silently: the
// two are swapped, as the user plainly meant the range between them. True when they were, for
// the caller to say so.
bool SwapReversedDates(const QCheckBox& aFromTicked, QDateTimeEdit& aFrom, const QCheckBox& aToTicked, QDateTimeEdit& aTo);

}  // namespace trawlix
