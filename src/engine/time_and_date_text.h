#pragma once

#include <functional>
#include <string>

namespace trawlix {

// A moment as the user reads it, in the formats of the user's locale: "18:05" and
// "10.12.2026" for a German user, "06:05 PM" and "12/10/2026" for an American one.
struct TTimeAndDateText {
    std::string time;  // hours and minutes
    std::string date;
};

// The program's formats for a day number (see clock.h). The desktop program installs its
// QLocale's short formats; without an installed one the C library's LC_TIME formats are
// used, so trawlix-cli takes LC_TIME from the environment when it starts. Machine-readable
// outputs (JSON, CSV) do not use this: they keep ISO 8601.
TTimeAndDateText UserTimeAndDate(double aDateTime);

using TTimeAndDateFormatter = std::function<TTimeAndDateText(double aDateTime)>;
// Installed once at start, before any thread asks; empty restores LC_TIME's formats.
void SetTimeAndDateFormatter(TTimeAndDateFormatter aFormatter);

// With strftime formats as LC_TIME gives them (nl_langinfo's D_FMT and T_FMT): the time
// without its seconds, which a notice has no use for.
TTimeAndDateText FormattedTimeAndDate(double aDateTime, const std::string& aDateFormat,
                                      const std::string& aTimeFormat);

}  // namespace trawlix
