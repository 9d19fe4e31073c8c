#include "quillmark/framework/date_time.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace quillmark {

namespace {

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, TCalendarTime& t) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    t.Day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.Month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.Year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (t.Month <= 2));
}

// 1899-12-30 is day -25569 from 1970-01-01.
constexpr int64_t kEpochOffset = 25569;

}  // namespace

TDateTime EncodeDateTime(const TCalendarTime& t) {
    double days = static_cast<double>(
        DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day)) +
        kEpochOffset);
    double frac = (t.Hour * 3600.0 + t.Minute * 60.0 + t.Second) / 86400.0;
    return days >= 0 ? days + frac : days - frac;
}

TCalendarTime DecodeDateTime(TDateTime value) {
    TCalendarTime t;
    if (!std::isfinite(value) || std::fabs(value) > 1.2e7) return t;
    double whole = std::trunc(value);
    double frac = std::fabs(value - whole);
    int64_t secs = std::llround(frac * 86400.0);
    int64_t days = static_cast<int64_t>(whole);
    if (secs >= 86400) {  // rounding reached the next day
        secs -= 86400;
        days += value >= 0 ? 1 : -1;
    }
    CivilFromDays(days - kEpochOffset, t);
    t.Hour = static_cast<int>(secs / 3600);
    t.Minute = static_cast<int>(secs / 60 % 60);
    t.Second = static_cast<int>(secs % 60);
    return t;
}

bool UnixTimeToLocal(int64_t seconds, TCalendarTime& out) {
    std::time_t tt = static_cast<std::time_t>(seconds);
    std::tm tm{};
    if (!localtime_r(&tt, &tm)) return false;
    out.Year = tm.tm_year + 1900;
    out.Month = tm.tm_mon + 1;
    out.Day = tm.tm_mday;
    out.Hour = tm.tm_hour;
    out.Minute = tm.tm_min;
    out.Second = tm.tm_sec > 59 ? 59 : tm.tm_sec;
    return true;
}

std::string DateTimeToIso8601(TDateTime value) {
    TCalendarTime t = DecodeDateTime(value);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour,
                  t.Minute, t.Second);
    return buf;
}

}  // namespace quillmark
