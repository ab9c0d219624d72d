#include "archive/core/ab_date_time.h"

#include <chrono>

#include "util/errors.h"

bool isLeapYear(int32_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int32_t daysInMonth(int32_t year, int32_t month) {
    static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

TAbDateTime DosDateTimeToDateTime(uint16_t Date, uint16_t Time) {
    TAbDateTime value;
    value.Year = 1980 + (Date >> 9);
    value.Month = (Date >> 5) & 15;
    value.Day = Date & 31;
    if (value.Day < 1 || value.Day > daysInMonth(value.Year, value.Month)) {
        throw EDateEncodeError();
    }
    value.Hour = Time >> 11;
    value.Minute = (Time >> 5) & 63;
    value.Second = (Time & 31) * 2;
    if (value.Hour > 23 || value.Minute > 59 || value.Second > 59) throw ETimeEncodeError();
    return value;
}

uint32_t DateTimeToDosDateTime(const TAbDateTime& Value) {
    if (Value.Year < 1980 || Value.Year > 2107) return 0;
    const uint32_t date =
        static_cast<uint32_t>((Value.Year - 1980) << 9 | Value.Month << 5 | Value.Day);
    const uint32_t time =
        static_cast<uint32_t>(Value.Hour << 11 | Value.Minute << 5 | Value.Second / 2);
    return (date << 16 | time) & 0xFFFFFFFFu;
}

TAbDateTime localNow() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    return localDateTimeFromUnix(ms / 1000, static_cast<int32_t>(ms % 1000));
}
