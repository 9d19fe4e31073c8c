// TDateTime: a double counting days since 1899-12-30, the fraction being the
// time of day (for dates before 1899-12-30 the whole part is negative and the
// fraction still adds time: -1.25 is 1899-12-29 06:00). 0 means "not set".
#pragma once

#include <cstdint>
#include <string>

namespace quillmark {

using TDateTime = double;

struct TCalendarTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// Calendar fields (proleptic Gregorian) to TDateTime, and back (rounded to
// the nearest second).
TDateTime EncodeDateTime(const TCalendarTime& t);
TCalendarTime DecodeDateTime(TDateTime value);

// Seconds since 1970-01-01 UTC as local calendar fields (the process's time
// zone); false when the platform cannot convert the instant.
bool UnixTimeToLocal(int64_t seconds, TCalendarTime& out);

// "YYYY-MM-DDThh:mm:ss" (no zone: TDateTime values are local).
std::string DateTimeToIso8601(TDateTime value);

}  // namespace quillmark
