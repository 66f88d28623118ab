#pragma once

#include <functional>

#include "engine/clock.h"
#include "model/entry.h"

namespace trawlix {

// The results list's sortable columns, by their index in the list.
inline constexpr int cSortByDate = 2;
inline constexpr int cSortByCaption = 3;
inline constexpr int cSortByPrice = 4;
inline constexpr int cSortByLocation = 5;
inline constexpr int cSortByCategory = 6;

// Whether aColumnIndex is one of the columns above.
bool IsSortColumn(int aColumnIndex);

// The value an entry sorts by in the date column: 0 for an empty date text, else its
// local date-time when it has one, else its month and day in the year that puts the ad
// at most one month ahead of aToday (a December ad seen in January is last year's).
double EntryDateValue(TEntry& aEntry, double aToday);

// Each returns -1, 0 or 1 for the ascending order, negated when aAscending is false.
// A comparison that cannot be made (no entry, a price that is not a number) gives 0.
int CompareDate(const IEntry& aLeft, const IEntry& aRight, bool aAscending, double aToday);
int CompareCaption(const IEntry& aLeft, const IEntry& aRight, bool aAscending);
int ComparePrice(const IEntry& aLeft, const IEntry& aRight, bool aAscending);
int CompareLocation(const IEntry& aLeft, const IEntry& aRight, bool aAscending);
int CompareCategory(const IEntry& aLeft, const IEntry& aRight, bool aAscending);

// Orders two UTF-8 texts as their UTF-16 code units order, case-sensitively: -1, 0 or 1.
int CompareUTF16Ordinal(const std::string& aLeft, const std::string& aRight);

// The comparer for a column of the list, or an empty function for a column that does
// not sort. The date column reads today's date once, from aNow.
std::function<int(const IEntry&, const IEntry&)> GetCurrentCompareFunc(int aColumnIndex, bool aAscending,
                                                                        const TNowFunction& aNow = LocalNow);

// Sorts aEntries as a stable sort with the column's compare function would, but reads each
// entry's sort value once instead of twice per comparison: a list of 100,000 entries is
// sorted as it is shown, and the entries are too many to stay in the cache. Does nothing
// for a column that does not sort.
void SortEntries(TEntryList& aEntries, int aColumnIndex, bool aAscending, double aToday);

}  // namespace trawlix
