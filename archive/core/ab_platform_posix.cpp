// POSIX side of the platform services: attributes come from stat(), there are no short
// names, and local time and its format come from the C library's time zone and locale.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <vector>

#include "archive/core/ab_file_system.h"
#include "archive/core/ab_text.h"

namespace platform {

std::u16string programFilePath() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) return {};
    return utf8ToUtf16(std::string_view(buffer.data(), static_cast<size_t>(length)));
}

bool readEntryData(std::u16string_view path, EntryData& data) {
    struct stat info {};
    if (stat(utf16ToUtf8(path).c_str(), &info) != 0) return false;
    int32_t attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes |= faDirectory;
    } else {
        attributes |= faArchive;
    }
    if ((info.st_mode & S_IWUSR) == 0) attributes |= faReadOnly;
    const size_t slash = path.find_last_of(u'/');
    const std::u16string_view name =
        slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    if (name.size() > 1 && name[0] == u'.' && name != u"..") attributes |= faHidden;
    data.attributes = attributes;
    data.size = S_ISDIR(info.st_mode) ? 0 : static_cast<int64_t>(info.st_size);
    data.lastWriteUnixSeconds = static_cast<int64_t>(info.st_mtime);
    return true;
}

std::u16string shortNameOf(std::u16string_view path) {
    struct stat info {};
    if (lstat(utf16ToUtf8(path).c_str(), &info) != 0) return {};
    const size_t slash = path.find_last_of(u'/');
    return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace platform

TAbDateTime localDateTimeFromUnix(int64_t seconds, int32_t milliseconds) {
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&time, &local) == nullptr) return {};
    TAbDateTime value;
    value.Year = local.tm_year + 1900;
    value.Month = local.tm_mon + 1;
    value.Day = local.tm_mday;
    value.Hour = local.tm_hour;
    value.Minute = local.tm_min;
    value.Second = local.tm_sec;
    value.Millisecond = milliseconds;
    return value;
}

std::u16string shortDateLongTimeText(const TAbDateTime& value) {
    std::tm moment{};
    moment.tm_year = value.Year - 1900;
    moment.tm_mon = value.Month - 1;
    moment.tm_mday = value.Day;
    moment.tm_hour = value.Hour;
    moment.tm_min = value.Minute;
    moment.tm_sec = value.Second;
    moment.tm_isdst = -1;
    char text[128];
    const size_t length = std::strftime(text, sizeof text, "%x %X", &moment);
    return utf8ToUtf16(std::string_view(text, length));
}
