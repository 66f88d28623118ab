#pragma once

#include <chrono>
#include <cmath>
#include <ctime>
#include <functional>

namespace trawlix {

// Dates are kept as days since 30 December 1899, the fraction being the time of day, in
// local time: the form the stored searches and results use.
using TNowFunction = std::function<double()>;

inline double EncodeDate(int aYear, unsigned aMonth, unsigned aDay) {
    using namespace std::chrono;
    const year_month_day date{year(aYear), month(aMonth), day(aDay)};
    return (sys_days(date) - sys_days(1899y / December / 30)).count();
}

// False for a day the calendar does not have (30 February).
inline bool IsValidDate(int aYear, unsigned aMonth, unsigned aDay) {
    using namespace std::chrono;
    return year_month_day{year(aYear), month(aMonth), day(aDay)}.ok();
}

inline void DecodeDate(double aDate, int& aYear, unsigned& aMonth, unsigned& aDay) {
    using namespace std::chrono;
    const year_month_day date{sys_days(1899y / December / 30) + days(static_cast<int>(std::floor(aDate)))};
    aYear = static_cast<int>(date.year());
    aMonth = static_cast<unsigned>(date.month());
    aDay = static_cast<unsigned>(date.day());
}

// The computer's local date and time.
inline double LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return EncodeDate(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                      static_cast<unsigned>(local.tm_mday)) +
           (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

}  // namespace trawlix
