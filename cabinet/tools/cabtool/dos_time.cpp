#include "dos_time.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <system_error>

#include "cabinet.h"

namespace cabtool {

std::string formatDosDate(uint16_t date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", 1980u + (date >> 9), (date >> 5) & 15u,
                  date & 31u);
    return text;
}

std::string formatDosTime(uint16_t time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u", time >> 11, (time >> 5) & 63u,
                  (time & 31u) * 2);
    return text;
}

std::string formatAttributes(uint16_t attributes) {
    const struct {
        uint16_t bit;
        char letter;
    } kBits[] = {{CAB_ATTRIB_READONLY, 'r'}, {CAB_ATTRIB_HIDDEN, 'h'},
                 {CAB_ATTRIB_SYSTEM, 's'},   {CAB_ATTRIB_ARCHIVE, 'a'},
                 {CAB_ATTRIB_EXECUTE, 'x'},  {CAB_ATTRIB_NAME_IS_UTF, 'u'}};
    std::string text;
    for (const auto& b : kBits) text += (attributes & b.bit) ? b.letter : '-';
    return text;
}

bool applyDosTime(const std::filesystem::path& file, uint16_t date, uint16_t time) {
    unsigned month = (date >> 5) & 15u, day = date & 31u;
    unsigned hour = time >> 11, minute = (time >> 5) & 63u, second = (time & 31u) * 2;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return false;
    std::tm local{};
    local.tm_year = 80 + (date >> 9);
    local.tm_mon = static_cast<int>(month) - 1;
    local.tm_mday = static_cast<int>(day);
    local.tm_hour = static_cast<int>(hour);
    local.tm_min = static_cast<int>(minute);
    local.tm_sec = static_cast<int>(second);
    local.tm_isdst = -1;
    std::time_t stamp = std::mktime(&local);
    if (stamp == static_cast<std::time_t>(-1)) return false;
    auto fileTime =
        std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(stamp));
    std::error_code ec;
    std::filesystem::last_write_time(file, fileTime, ec);
    return !ec;
}

void applyAttributes(const std::filesystem::path& file, uint16_t attributes) {
    using std::filesystem::perms;
    std::error_code ec;
    perms current = std::filesystem::status(file, ec).permissions();
    if (ec) return;
    perms wanted = current;
    if (attributes & CAB_ATTRIB_EXECUTE) {
        if ((current & perms::owner_read) != perms::none) wanted |= perms::owner_exec;
        if ((current & perms::group_read) != perms::none) wanted |= perms::group_exec;
        if ((current & perms::others_read) != perms::none) wanted |= perms::others_exec;
    }
    if (attributes & CAB_ATTRIB_READONLY)
        wanted &= ~(perms::owner_write | perms::group_write | perms::others_write);
    if (wanted != current) std::filesystem::permissions(file, wanted, ec);
}

}  // namespace cabtool
