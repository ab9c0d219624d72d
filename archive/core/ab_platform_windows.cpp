// Windows side of the platform services: attributes, sizes and times straight from the file
// system, the 8.3 short names where the volume keeps them, and the user's own date and time
// formats. Every path goes to the wide-character API, never through the ANSI code page.
#include <windows.h>

#include <string>
#include <vector>

#include "archive/core/ab_file_system.h"

namespace platform {
namespace {

std::wstring wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}

std::u16string fromWide(const wchar_t* text, size_t length) {
    return std::u16string(text, text + length);
}

// FILETIME counts 100-nanosecond steps from 1601-01-01 UTC.
constexpr int64_t kFileTimeStepsPerSecond = 10000000;
constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

int64_t unixSecondsOf(const FILETIME& time) {
    const int64_t steps = (static_cast<int64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return steps / kFileTimeStepsPerSecond - kSecondsFrom1601To1970;
}

}  // namespace

std::u16string programFilePath() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        if (length < buffer.size()) return fromWide(buffer.data(), length);
        buffer.resize(buffer.size() * 2);  // the name was cut: try again with more room
    }
}

bool readEntryData(std::u16string_view path, EntryData& data) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &info)) return false;
    // The attribute bits the archive formats store are Windows' own.
    data.attributes = static_cast<int32_t>(info.dwFileAttributes & 0xFF);
    const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    data.size = folder ? 0
                       : static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) |
                                              info.nFileSizeLow);
    data.lastWriteUnixSeconds = unixSecondsOf(info.ftLastWriteTime);
    return true;
}

std::u16string shortNameOf(std::u16string_view path) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(wide(path).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return {};
    FindClose(search);
    const wchar_t* name = found.cAlternateFileName[0] ? found.cAlternateFileName : found.cFileName;
    return fromWide(name, wcslen(name));
}

}  // namespace platform

TAbDateTime localDateTimeFromUnix(int64_t seconds, int32_t milliseconds) {
    const int64_t steps =
        (seconds + platform::kSecondsFrom1601To1970) * platform::kFileTimeStepsPerSecond;
    FILETIME utc{static_cast<DWORD>(steps & 0xFFFFFFFF), static_cast<DWORD>(steps >> 32)};
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    if (!FileTimeToSystemTime(&utc, &universal)) return {};
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local)) return {};
    TAbDateTime value;
    value.Year = local.wYear;
    value.Month = local.wMonth;
    value.Day = local.wDay;
    value.Hour = local.wHour;
    value.Minute = local.wMinute;
    value.Second = local.wSecond;
    value.Millisecond = milliseconds;
    return value;
}

std::u16string shortDateLongTimeText(const TAbDateTime& value) {
    SYSTEMTIME moment{};
    moment.wYear = static_cast<WORD>(value.Year);
    moment.wMonth = static_cast<WORD>(value.Month);
    moment.wDay = static_cast<WORD>(value.Day);
    moment.wHour = static_cast<WORD>(value.Hour);
    moment.wMinute = static_cast<WORD>(value.Minute);
    moment.wSecond = static_cast<WORD>(value.Second);
    wchar_t date[128];
    wchar_t time[128];
    const int dateLength = GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &moment,
                                           nullptr, date, 128, nullptr);
    const int timeLength =
        GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &moment, nullptr, time, 128);
    if (dateLength <= 0 || timeLength <= 0) return {};
    // Both lengths count the terminating zero.
    return platform::fromWide(date, static_cast<size_t>(dateLength - 1)) + u" " +
           platform::fromWide(time, static_cast<size_t>(timeLength - 1));
}
