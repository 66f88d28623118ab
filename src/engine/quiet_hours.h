#pragma once

#include <optional>
#include <string>

namespace trawlix {

// The hours in which digests wait instead of going out, as "HH:MM-HH:MM" in local time.
// The end may come before the start: "22:00-07:00" runs across midnight. Equal ends, or
// none set, mean no quiet hours.
class TQuietHours {
public:
    TQuietHours() = default;
    // Reads "HH:MM-HH:MM" (spaces around the parts allowed); an empty text is no quiet
    // hours. Raises std::invalid_argument with a message for the user otherwise.
    static TQuietHours Parse(const std::string& aText);

    bool Active() const { return fStartMinute != fEndMinute; }
    // Whether aDate (days, the fraction the time of day; clock.h) falls in the quiet hours.
    bool Contains(double aDate) const;
    // "07:00": when they end.
    std::string EndText() const;

private:
    TQuietHours(int aStartMinute, int aEndMinute) : fStartMinute(aStartMinute), fEndMinute(aEndMinute) {}

    int fStartMinute = 0;  // minutes after midnight
    int fEndMinute = 0;
};

}  // namespace trawlix
