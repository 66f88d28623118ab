// Quiet hours: how they are written, and which times of a fake clock fall in them, across
// midnight and within one day.
#include <gtest/gtest.h>

#include <stdexcept>

#include "engine/clock.h"
#include "engine/quiet_hours.h"

using namespace trawlix;

namespace {

double At(int aDay, int aHours, int aMinutes) {
    return EncodeDate(2026, 12, aDay) + (aHours * 60 + aMinutes) / 1440.0;
}

}  // namespace

TEST(QuietHours, TimesOnEitherSideOfMidnight) {
    const TQuietHours night = TQuietHours::Parse("22:00-07:00");
    struct TCase {
        int day, hours, minutes;
        bool quiet;
    };
    const TCase cases[] = {
        {10, 21, 59, false}, {10, 22, 0, true}, {10, 23, 59, true}, {11, 0, 0, true},
        {11, 3, 30, true},   {11, 6, 59, true}, {11, 7, 0, false},  {11, 12, 0, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.hours) + ":" + std::to_string(c.minutes));
        EXPECT_EQ(night.Contains(At(c.day, c.hours, c.minutes)), c.quiet);
    }
    EXPECT_EQ(night.EndText(), "07:00");

    const TQuietHours afternoon = TQuietHours::Parse(" 13:30 - 15:00 ");
    EXPECT_FALSE(afternoon.Contains(At(10, 13, 29)));
    EXPECT_TRUE(afternoon.Contains(At(10, 13, 30)));
    EXPECT_TRUE(afternoon.Contains(At(10, 14, 59)));
    EXPECT_FALSE(afternoon.Contains(At(10, 15, 0)));
    EXPECT_FALSE(afternoon.Contains(At(10, 23, 0)));
}

TEST(QuietHours, NoneSetOrEqualEndsMeanNoQuietHours) {
    for (const char* text : {"", "  ", "08:00-08:00"}) {
        SCOPED_TRACE(text);
        const TQuietHours none = TQuietHours::Parse(text);
        EXPECT_FALSE(none.Active());
        EXPECT_FALSE(none.Contains(At(10, 8, 0)));
        EXPECT_FALSE(none.Contains(At(10, 23, 0)));
    }
}

TEST(QuietHours, MalformedValuesAreRefusedWithTheExpectedForm) {
    for (const char* text : {"22:00", "22-07", "24:00-07:00", "22:60-07:00", "22:00-7", "ten-seven", "22:00–07:00",
                             "22:00-07:00-08:00"}) {
        SCOPED_TRACE(text);
        try {
            TQuietHours::Parse(text);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()), std::string("Quiet hours are written as HH:MM-HH:MM, for example "
                                                         "\"22:00-07:00\", not \"") +
                                                 text + "\".");
        }
    }
}
