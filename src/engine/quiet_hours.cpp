#include "engine/quiet_hours.h"

#include <cmath>
#include <cstdio>
#include <regex>
#include <stdexcept>

#include "engine/text_functions.h"

namespace trawlix {

namespace {

constexpr int cMinutesPerDay = 1440;

int MinuteOfDay(double aDate) {
    const double fraction = aDate - std::floor(aDate);
    // A hair's tolerance: 07:00 encoded as a fraction must not read as 06:59.
    return static_cast<int>(std::floor(fraction * cMinutesPerDay + 1e-6)) % cMinutesPerDay;
}

}  // namespace

TQuietHours TQuietHours::Parse(const std::string& aText) {
    const std::string text = Trim(aText);
    if (text.empty()) return {};
    static const std::regex cForm(R"(^(\d{1,2}):(\d{2})\s*-\s*(\d{1,2}):(\d{2})$)");
    std::smatch match;
    const auto invalid = [&] {
        return std::invalid_argument("Quiet hours are written as HH:MM-HH:MM, for example \"22:00-07:00\", not \"" +
                                     aText + "\".");
    };
    if (!std::regex_match(text, match, cForm)) throw invalid();
    const int startHour = std::stoi(match[1]), startMinute = std::stoi(match[2]);
    const int endHour = std::stoi(match[3]), endMinute = std::stoi(match[4]);
    if (startHour > 23 || endHour > 23 || startMinute > 59 || endMinute > 59) throw invalid();
    return {startHour * 60 + startMinute, endHour * 60 + endMinute};
}

bool TQuietHours::Contains(double aDate) const {
    if (!Active()) return false;
    const int minute = MinuteOfDay(aDate);
    if (fStartMinute < fEndMinute) return minute >= fStartMinute && minute < fEndMinute;
    return minute >= fStartMinute || minute < fEndMinute;  // across midnight
}

std::string TQuietHours::EndText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", fEndMinute / 60, fEndMinute % 60);
    return text;
}

}  // namespace trawlix
