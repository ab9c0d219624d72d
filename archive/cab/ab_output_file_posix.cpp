#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "archive/cab/ab_output_file.h"

namespace pelmora::outputfile {
namespace {

bool validDosStamp(int year, int month, int day, int hour, int minute, int second) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= last && hour <= 23 && minute <= 59 && second <= 59;
}

}  // namespace

bool refusesReplacement(const std::u16string& target, int32_t& reason) {
    struct stat st {};
    if (::stat(nativePath(target).c_str(), &st) != 0) return false;
    // A read-only file is no obstacle: the new file is moved over it, which needs only the
    // folder's permission, as Windows replaces it once its read-only attribute is cleared.
    if (!S_ISDIR(st.st_mode)) return false;
    reason = EISDIR;
    return true;
}

intptr_t openUnnamedIn(const std::u16string& folder) {
#ifdef O_TMPFILE
    const std::string path = folder.empty() ? std::string(".") : nativePath(folder);
    // Any refusal (no such file type on this file system or kernel, no permission) sends the
    // caller to a named file, which reports a lasting problem with the system's reason.
    const int fd = ::open(path.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    return fd < 0 ? -1 : fd;
#else
    (void)folder;
    return -1;
#endif
}

bool linkUnnamed(TFileStream& file, const std::u16string& name, int32_t& reason) {
    const std::string target = nativePath(name);
    const std::string self = "/proc/self/fd/" + std::to_string(file.Handle());
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        return true;
    }
    reason = errno;
#ifdef AT_EMPTY_PATH
    // Without /proc the descriptor itself can be linked, where the system allows it.
    if (reason == ENOENT && ::linkat(static_cast<int>(file.Handle()), "", AT_FDCWD, target.c_str(),
                                     AT_EMPTY_PATH) == 0) {
        return true;
    }
    if (reason == ENOENT) reason = errno;
#endif
    return false;
}

bool setLastWriteTime(TFileStream& file, uint16_t dosDate, uint16_t dosTime) {
    int year = 1980 + (dosDate >> 9), month = (dosDate >> 5) & 15, day = dosDate & 31;
    int hour = dosTime >> 11, minute = (dosTime >> 5) & 63, second = (dosTime & 31) * 2;
    if (!validDosStamp(year, month, day, hour, minute, second)) return false;
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;  // the stamp is local time, summer time as it applied on that day
    std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1)) return false;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // last access stays
    times[1].tv_sec = when;
    times[1].tv_nsec = 0;
    return ::futimens(static_cast<int>(file.Handle()), times) == 0;
}

bool applyAttributes(const std::u16string& fileName, uint16_t attributes) {
    // Only the read-only bit has a meaning here; hidden, system and archive have none.
    constexpr uint16_t kReadOnly = 0x01;
    if (!(attributes & kReadOnly)) return true;
    std::string path = nativePath(fileName);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return ::chmod(path.c_str(), st.st_mode & ~(S_IWUSR | S_IWGRP | S_IWOTH) & 07777) == 0;
}

bool replaceFile(const std::u16string& source, const std::u16string& target, int32_t& reason) {
    if (::rename(nativePath(source).c_str(), nativePath(target).c_str()) == 0) return true;
    reason = errno;
    return false;
}

void removeFile(const std::u16string& fileName) noexcept {
    ::unlink(nativePath(fileName).c_str());
}

}  // namespace pelmora::outputfile
