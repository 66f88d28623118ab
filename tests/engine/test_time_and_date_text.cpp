#include <gtest/gtest.h>

#include <clocale>

#include "engine/clock.h"
#include "engine/time_and_date_text.h"

using namespace trawlix;

namespace {
const double cEvening = EncodeDate(2026, 12, 10) + (18 * 60 + 5) / 1440.0 + 42 / 86400.0;
}

// LC_TIME's formats as glibc gives them for a few locales; the seconds go, whatever the
// locale writes around them.
TEST(TimeAndDateText, TheLocalesFormatsWithoutSeconds) {
    struct Case {
        const char* locale;
        const char* dateFormat;
        const char* timeFormat;
        const char* time;
        const char* date;
    } cases[] = {
        {"C", "%m/%d/%y", "%H:%M:%S", "18:05", "12/10/26"},
        {"en_US", "%m/%d/%Y", "%r", "06:05 PM", "12/10/2026"},
        {"en_GB", "%d/%m/%y", "%T", "18:05", "10/12/26"},
        {"de_DE", "%d.%m.%Y", "%T", "18:05", "10.12.2026"},
        {"fi_FI", "%d.%m.%Y", "%H.%M.%S", "18.05", "10.12.2026"},
        {"ja_JP", "%Y年%m月%d日", "%H時%M分%S秒", "18時05分", "2026年12月10日"},
        {"a literal %S", "%d", "%H:%M %%S", "18:05 %S", "10"},
    };
    for (const auto& c : cases) {
        const TTimeAndDateText text = FormattedTimeAndDate(cEvening, c.dateFormat, c.timeFormat);
        EXPECT_EQ(text.time, c.time) << c.locale;
        EXPECT_EQ(text.date, c.date) << c.locale;
    }
}

// Without an installed formatter LC_TIME decides; an installed one (the desktop's QLocale)
// is used until it is taken away.
TEST(TimeAndDateText, LcTimeUnlessTheProgramInstalledItsOwn) {
    std::setlocale(LC_TIME, "C");
    EXPECT_EQ(UserTimeAndDate(cEvening).time, "18:05");
    EXPECT_EQ(UserTimeAndDate(cEvening).date, "12/10/26");
    SetTimeAndDateFormatter([](double) { return TTimeAndDateText{"18 h 05", "10 déc. 2026"}; });
    EXPECT_EQ(UserTimeAndDate(cEvening).time, "18 h 05");
    EXPECT_EQ(UserTimeAndDate(cEvening).date, "10 déc. 2026");
    SetTimeAndDateFormatter({});
    EXPECT_EQ(UserTimeAndDate(cEvening).time, "18:05");
}
