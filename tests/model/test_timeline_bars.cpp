#include <gtest/gtest.h>

#include "model/timeline_bars.h"

namespace trawlix {
namespace {

using namespace std::chrono;

IEntry Dated(const std::string& aDate) {
    return std::make_shared<TEntry>(ssCraigslist, aDate, "ad", "https://example.org/1.html", 10.0, "", "", false, 0,
                                    0.0, "", "", "");
}

struct TBarsCase {
    const char* fName;
    year_month_day fToday;
    std::vector<std::string> fDates;  // one result per date text
    TTimelineBars fExpected;
};

void PrintTo(const TBarsCase& aCase, std::ostream* aOut) { *aOut << aCase.fName; }

class TimelineBarsTable : public testing::TestWithParam<TBarsCase> {};

TEST_P(TimelineBarsTable, CountsEachDayInDateOrder) {
    const TBarsCase& c = GetParam();
    TEntryList results;
    for (const auto& date : c.fDates) results.push_back(Dated(date));
    EXPECT_EQ(CountResultsPerDay(results, c.fToday), c.fExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimelineBarsTable,
    testing::Values(
        TBarsCase{"NoResultsNoBars", 2026y / June / 15, {}, {}},
        TBarsCase{"OneDay", 2026y / December / 20, {"Dec 12", "Dec 12", "Dec 12"}, {{"Dec-12", 3}}},
        TBarsCase{"GapsAreZeroBars",
                  2026y / March / 1,
                  {"Jan 30", "Feb 2", "Jan 30"},
                  {{"Jan-30", 2}, {"Jan-31", 0}, {"Feb-1", 0}, {"Feb-2", 1}}},
        // The days around a new year run from December into January, not January first.
        TBarsCase{"NewYear",
                  2027y / January / 4,
                  {"Jan 3", "Dec 29", "Jan 1", "Dec 31"},
                  {{"Dec-29", 1}, {"Dec-30", 0}, {"Dec-31", 1}, {"Jan-1", 1}, {"Jan-2", 0}, {"Jan-3", 1}}},
        // Today's own date is this year's, and so is the day after it: a site west of the
        // computer dates its ads a day later in the evening.
        TBarsCase{"TodayIsThisYear", 2026y / May / 10, {"May 10", "May 9"}, {{"May-9", 1}, {"May-10", 1}}},
        TBarsCase{"TomorrowIsThisYear", 2026y / May / 10, {"May 11", "May 10"}, {{"May-10", 1}, {"May-11", 1}}},
        TBarsCase{"NewYearsEveSeenOnNewYearsDayIsLastYears", 2027y / January / 1, {"Dec 31", "Jan 1"},
                  {{"Dec-31", 1}, {"Jan-1", 1}}},
        TBarsCase{"NewYearsDaySeenOnNewYearsEveIsNextYears", 2026y / December / 31, {"Jan 1", "Dec 31"},
                  {{"Dec-31", 1}, {"Jan-1", 1}}},
        TBarsCase{"NoDateNotCounted", 2026y / June / 15, {"", "Jun 3", ""}, {{"Jun-3", 1}}},
        TBarsCase{"DayTheCalendarLacksNotCounted", 2026y / June / 15, {"Apr 31", "Jun 3"}, {{"Jun-3", 1}}},
        TBarsCase{"LeapYearHasFebruary29",
                  2028y / March / 5,
                  {"Feb 28", "Mar 1"},
                  {{"Feb-28", 1}, {"Feb-29", 0}, {"Mar-1", 1}}},
        TBarsCase{"OtherYearsSkipFebruary29", 2026y / March / 5, {"Feb 28", "Mar 1"}, {{"Feb-28", 1}, {"Mar-1", 1}}},
        TBarsCase{"February29ShownWhenResultsFallOnIt",
                  2026y / March / 5,
                  {"Feb 29", "Mar 1", "Feb 28"},
                  {{"Feb-28", 1}, {"Feb-29", 1}, {"Mar-1", 1}}}),
    [](const testing::TestParamInfo<TBarsCase>& aInfo) { return std::string(aInfo.param.fName); });

TEST(TimelineBars, MissingEntriesAreSkipped) {
    const TEntryList results{nullptr, Dated("Jul 4")};
    EXPECT_EQ(CountResultsPerDay(results, 2026y / July / 10), (TTimelineBars{{"Jul-4", 1}}));
}

// The widest chart: half a year back and half a year ahead of today, every day once, in
// order. 9 January 2026 is 182 days back, 8 January 2027 182 days ahead.
TEST(TimelineBars, HalfAYearEachWayHasEveryDayOnce) {
    const TEntryList results{Dated("Jan 8"), Dated("Jan 9")};
    const TTimelineBars bars = CountResultsPerDay(results, 2026y / July / 10);
    ASSERT_EQ(bars.size(), 365u);
    EXPECT_EQ(bars.front(), (TTimelineBar{"Jan-9", 1}));
    EXPECT_EQ(bars.back(), (TTimelineBar{"Jan-8", 1}));
    EXPECT_EQ(bars[356].fLabel, "Dec-31");
    EXPECT_EQ(bars[357].fLabel, "Jan-1");
}

}  // namespace
}  // namespace trawlix
