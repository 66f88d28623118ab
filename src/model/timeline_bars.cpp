#include "model/timeline_bars.h"

#include <array>

#include "engine/clock.h"
#include "engine/text_functions.h"

namespace trawlix {

namespace {

using namespace std::chrono;

// Two years of month-and-day cells: the year before today's, then today's. A year of cells
// is 12 × 31, days the calendar lacks included, so that a cell's index follows date order.
constexpr int cDaysPerMonthCells = 31;
constexpr int cCellsPerYear = 12 * cDaysPerMonthCells;
constexpr int cLastYear = 0;
constexpr int cThisYear = 1;

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

// The year a yearless date belongs to: this year up to today, last year after it.
int YearIndexOf(unsigned aMonth, unsigned aDay, year_month_day aToday) {
    const unsigned todayMonth = static_cast<unsigned>(aToday.month());
    const unsigned todayDay = static_cast<unsigned>(aToday.day());
    const bool afterToday = aMonth > todayMonth || (aMonth == todayMonth && aDay > todayDay);
    return afterToday ? cLastYear : cThisYear;
}

std::string DayLabel(unsigned aMonth, unsigned aDay) {
    return IntToCraigsMonth(static_cast<int>(aMonth)) + "-" + std::to_string(aDay);
}

}  // namespace

TTimelineBars CountResultsPerDay(const TEntryList& aResults, year_month_day aToday) {
    std::array<int, 2 * cCellsPerYear> counts{};
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
        const int yearNumber = thisYear - (cell.fYearIndex == cLastYear ? 1 : 0);
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
