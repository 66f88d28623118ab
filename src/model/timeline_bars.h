#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "model/entry.h"

namespace trawlix {

// One bar of the timeline: a calendar day and how many results fall on it.
struct TTimelineBar {
    std::string fLabel;  // "Dec-29": the month's short name and the day without a leading zero
    int fCount = 0;

    bool operator==(const TTimelineBar&) const = default;
};
using TTimelineBars = std::vector<TTimelineBar>;

// Counts the results per calendar day, one bar per day in date order from the first day
// with results to the last, days without results as zero bars in between.
// Result dates carry a month and a day but no year: each is placed in the year (last, this or
// next) that puts it nearest to aToday, so that the days around a new year stay in their order
// and a site's "tomorrow" (a site west of the computer, in the evening) is not a year ago.
// Results without a date, and dates the calendar never has (April 31), are not counted.
// 29 February gets a bar in a leap year, and in any year when results fall on it.
TTimelineBars CountResultsPerDay(const TEntryList& aResults, std::chrono::year_month_day aToday);

// The computer's local date, for the above.
std::chrono::year_month_day LocalToday();

}  // namespace trawlix
