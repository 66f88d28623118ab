#include "engine/time_and_date_text.h"

#include <langinfo.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <mutex>

#include "engine/clock.h"

namespace trawlix {

namespace {

std::mutex gFormatterMutex;
TTimeAndDateFormatter gFormatter;

// The broken-down local time of a day number, as strftime wants it.
std::tm BrokenDown(double aDateTime) {
    int year = 0;
    unsigned month = 0, day = 0;
    DecodeDate(aDateTime, year, month, day);
    const long long seconds =
        std::min(86399LL, std::llround((aDateTime - std::floor(aDateTime)) * 86400.0));
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = static_cast<int>(month) - 1;
    broken.tm_mday = static_cast<int>(day);
    broken.tm_hour = static_cast<int>(seconds / 3600);
    broken.tm_min = static_cast<int>(seconds / 60 % 60);
    broken.tm_sec = static_cast<int>(seconds % 60);
    broken.tm_isdst = -1;
    // The day of the week, for a format that names it.
    std::tm copy = broken;
    if (std::mktime(&copy) != -1) broken.tm_wday = copy.tm_wday;
    return broken;
}

bool IsSeparator(char aChar) { return aChar == ':' || aChar == '.' || aChar == ',' || aChar == '-'; }

// The length of the UTF-8 character at aAt when it is not ASCII (a unit word such as 秒), else 0.
size_t UnitCharacterLength(const std::string& aText, size_t aAt) {
    if (aAt >= aText.size() || static_cast<unsigned char>(aText[aAt]) < 0xC0) return 0;
    size_t length = 1;
    while (aAt + length < aText.size() && (static_cast<unsigned char>(aText[aAt + length]) & 0xC0) == 0x80) ++length;
    return length;
}

// "%r", "%T" and "%X" spelled out, then the seconds taken away with the separator before
// them ("%H:%M:%S") or the unit after them ("%H時%M分%S秒").
std::string WithoutSeconds(std::string aFormat) {
    for (const auto& [shortcut, spelled] : {std::pair<std::string, std::string>{"%r", "%I:%M:%S %p"},
                                            std::pair<std::string, std::string>{"%T", "%H:%M:%S"},
                                            std::pair<std::string, std::string>{"%X", "%H:%M:%S"}})
        for (size_t at; (at = aFormat.find(shortcut)) != std::string::npos;) aFormat.replace(at, 2, spelled);
    for (size_t at = 0; (at = aFormat.find("%S", at)) != std::string::npos;) {
        if (at > 0 && aFormat[at - 1] == '%') {  // "%%S" is a percent sign and an S
            at += 2;
            continue;
        }
        const size_t unit = UnitCharacterLength(aFormat, at + 2);
        if (at > 0 && IsSeparator(aFormat[at - 1]))
            aFormat.erase(at - 1, 3);
        else
            aFormat.erase(at, 2 + unit);
    }
    return aFormat;
}

std::string Formatted(const std::tm& aTime, const std::string& aFormat) {
    if (aFormat.empty()) return {};
    char text[128];
    const size_t length = std::strftime(text, sizeof text, aFormat.c_str(), &aTime);
    return std::string(text, length);
}

TTimeAndDateText LcTimeTimeAndDate(double aDateTime) {
    // "%r" needs the locale's own 12-hour form, which T_FMT_AMPM names.
    std::string timeFormat = nl_langinfo(T_FMT);
    if (timeFormat.find("%r") != std::string::npos) {
        const std::string twelveHours = nl_langinfo(T_FMT_AMPM);
        if (!twelveHours.empty()) timeFormat.replace(timeFormat.find("%r"), 2, twelveHours);
    }
    return FormattedTimeAndDate(aDateTime, nl_langinfo(D_FMT), timeFormat);
}

}  // namespace

TTimeAndDateText FormattedTimeAndDate(double aDateTime, const std::string& aDateFormat,
                                      const std::string& aTimeFormat) {
    const std::tm broken = BrokenDown(aDateTime);
    return {Formatted(broken, WithoutSeconds(aTimeFormat)), Formatted(broken, aDateFormat)};
}

void SetTimeAndDateFormatter(TTimeAndDateFormatter aFormatter) {
    std::lock_guard lock(gFormatterMutex);
    gFormatter = std::move(aFormatter);
}

TTimeAndDateText UserTimeAndDate(double aDateTime) {
    TTimeAndDateFormatter formatter;
    {
        std::lock_guard lock(gFormatterMutex);
        formatter = gFormatter;
    }
    return formatter ? formatter(aDateTime) : LcTimeTimeAndDate(aDateTime);
}

}  // namespace trawlix
