#include "model/timeline_bars.h"

#include <array>
#include <cstdlib>

#include "engine/clock.h"
#include "engine/text_functions.h"

namespace trawlix {

namespace {

using namespace std::chrono;

// Three years of month-and-day cells: the year before today's, today's and the next. A year
// of cells is 12 × 31, days the calendar lacks included, so that a cell's index follows date
// order.
constexpr int cDaysPerMonthCells = 31;
constexpr int cCellsPerYear = 12 * cDaysPerMonthCells;
constexpr int cYears = 3;
constexpr int cLastYear = 0;

struct TDayCell {
    int fYearIndex;
    unsigned fMonth;
    unsigned fDay;
};

int CellIndex(int aYearIndex, unsigned aMonth, unsigned aDay) {
    return aYearIndex * cCellsPerYear + static_cast<int>(aMonth - 1) * cDaysPerMonthCells + static_cast<int>(aDay - 1);
}

TDayCell CellOf(int aIndex) {
    const int inYear = aIndex % cCellsPerYear;
    return {aIndex / cCellsPerYear, static_cast<unsigned>(inYear / cDaysPerMonthCells + 1),
            static_cast<unsigned>(inYear % cDaysPerMonthCells + 1)};
}

bool IsFebruary29(unsigned aMonth, unsigned aDay) { return aMonth == 2 && aDay == 29; }

// A month and day that some year has: 29 February is one, 31 April is not.
bool DayExistsInSomeYear(int aMonth, int aDay) {
    if (aMonth < 1 || aMonth > 12 || aDay < 1) return false;
    return IsValidDate(2000, static_cast<unsigned>(aMonth), static_cast<unsigned>(aDay));
}

// Days from aToday to aMonth/aDay in aYear; 29 February of a year without one counts as 1 March.
long long DaysFromToday(int aYear, unsigned aMonth, unsigned aDay, year_month_day aToday) {
    year_month_day date{year(aYear), month(aMonth), day(aDay)};
    const sys_days at = date.ok() ? sys_days(date) : sys_days(year_month_day_last{year(aYear), month_day_last{February}}) + days(1);
    return (at - sys_days(aToday)).count();
}

// The year a yearless date belongs to: of last year, this year and the next, the one that
// puts it nearest to today. A site west of the computer dates its ads a day later in the
// evening: that day is tomorrow, not a year ago. Of two as near, the earlier.
int YearIndexOf(unsigned aMonth, unsigned aDay, year_month_day aToday) {
    int best = cLastYear;
    long long bestDistance = -1;
    for (int index = 0; index < cYears; ++index) {
        const long long distance =
            std::llabs(DaysFromToday(static_cast<int>(aToday.year()) - 1 + index, aMonth, aDay, aToday));
        if (bestDistance < 0 || distance < bestDistance) {
            best = index;
            bestDistance = distance;
        }
    }
    return best;
}

std::string DayLabel(unsigned aMonth, unsigned aDay) {
    return IntToCraigsMonth(static_cast<int>(aMonth)) + "-" + std::to_string(aDay);
}

}  // namespace

TTimelineBars CountResultsPerDay(const TEntryList& aResults, year_month_day aToday) {
    std::array<int, cYears * cCellsPerYear> counts{};
    for (const IEntry& entry : aResults) {
        if (!entry || entry->GetDate().empty()) continue;
        const int month = entry->GetMonth();
        const int day = entry->GetDay();
        if (!DayExistsInSomeYear(month, day)) continue;
        const auto m = static_cast<unsigned>(month);
        const auto d = static_cast<unsigned>(day);
        ++counts[CellIndex(YearIndexOf(m, d, aToday), m, d)];
    }

    int first = 0;
    while (first < static_cast<int>(counts.size()) && counts[first] == 0) ++first;
    int last = static_cast<int>(counts.size()) - 1;
    while (last >= first && counts[last] == 0) --last;

    TTimelineBars bars;
    const int thisYear = static_cast<int>(aToday.year());
    for (int index = first; index <= last; ++index) {
        const TDayCell cell = CellOf(index);
        const int yearNumber = thisYear - 1 + cell.fYearIndex;
        // A result dated 29 February in a year without one is shown rather than lost.
        const bool shown = IsValidDate(yearNumber, cell.fMonth, cell.fDay) ||
                           (IsFebruary29(cell.fMonth, cell.fDay) && counts[index] > 0);
        if (shown) bars.push_back({DayLabel(cell.fMonth, cell.fDay), counts[index]});
    }
    return bars;
}

year_month_day LocalToday() {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    DecodeDate(LocalNow(), year, month, day);
    return std::chrono::year_month_day{std::chrono::year(year), std::chrono::month(month), std::chrono::day(day)};
}

}  // namespace trawlix
