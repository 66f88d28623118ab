#include "ui/locale_time_and_date.h"

#include <QDate>
#include <QLocale>
#include <QTime>

#include <algorithm>
#include <cmath>

#include "engine/clock.h"
#include "engine/time_and_date_text.h"
#include "ui/qt_text.h"

namespace trawlix {

namespace {

TTimeAndDateText LocaleTimeAndDate(double aDateTime) {
    int year = 0;
    unsigned month = 0, day = 0;
    DecodeDate(aDateTime, year, month, day);
    const int minutes = std::min(1439, static_cast<int>(std::floor((aDateTime - std::floor(aDateTime)) * 1440.0 + 1e-6)));
    const QLocale locale;  // read on whichever thread sends: QLocale may be read anywhere
    return {S(locale.toString(QTime(minutes / 60, minutes % 60), QLocale::ShortFormat)),
            S(locale.toString(QDate(year, static_cast<int>(month), static_cast<int>(day)), QLocale::ShortFormat))};
}

}  // namespace

void InstallLocaleTimeAndDate() { SetTimeAndDateFormatter(LocaleTimeAndDate); }

}  // namespace trawlix
