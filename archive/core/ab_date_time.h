// Calendar moments and their DOS date and time encoding.
#pragma once

#include <cstdint>
#include <string>

// A local calendar date and clock time. The all-zero value stands for "no time".
struct TAbDateTime {
    int32_t Year = 0;
    int32_t Month = 0;
    int32_t Day = 0;
    int32_t Hour = 0;
    int32_t Minute = 0;
    int32_t Second = 0;
    int32_t Millisecond = 0;
    bool operator==(const TAbDateTime&) const = default;
};

// Date bits 0-4 day, 5-8 month, 9-15 year minus 1980; time bits 0-4 seconds/2, 5-10 minute,
// 11-15 hour. Raises EDateEncodeError for an impossible date (checked first) and
// ETimeEncodeError for an impossible time.
TAbDateTime DosDateTimeToDateTime(uint16_t Date, uint16_t Time);

// DOS date in the high 16 bits, DOS time in the low 16 bits; 0 for a year outside 1980-2107.
// Odd seconds and milliseconds are dropped.
uint32_t DateTimeToDosDateTime(const TAbDateTime& Value);

bool isLeapYear(int32_t year);
int32_t daysInMonth(int32_t year, int32_t month);

// The local clock now.
TAbDateTime localNow();
// A moment given as seconds since 1970-01-01 UTC, in local time (the platform's time zone).
TAbDateTime localDateTimeFromUnix(int64_t seconds, int32_t milliseconds = 0);
// The moment in the user's short date and long time format.
std::u16string shortDateLongTimeText(const TAbDateTime& value);
