// POSIX: the Windows variables are honoured where they are set (a Windows-like environment);
// otherwise the home folder stands in for the profile, and the caches are looked for on the
// Windows systems that are mounted (a dual-boot partition, WSL's /mnt/c).
#include <algorithm>
#include <fstream>
#include <set>

#include "spotlight/spotlight_harvest.h"
#include "util/environment.h"
#include "util/utf16_text.h"

namespace fs = std::filesystem;

namespace {

// Mount points are written with octal escapes for the characters that would break the line
// into fields ("\040" for a blank).
std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

// The second field of each line.
std::vector<fs::path> mountPoints(const std::u16string& mountTable) {
    std::vector<fs::path> points;
    std::ifstream in{fs::path(mountTable)};
    std::string line;
    while (std::getline(in, line)) {
        const size_t first = line.find_first_of(" \t");
        if (first == std::string::npos) continue;
        const size_t start = line.find_first_not_of(" \t", first);
        if (start == std::string::npos) continue;
        const size_t end = line.find_first_of(" \t", start);
        points.emplace_back(unescapeMountField(line.substr(start, end - start)));
    }
    return points;
}

// root/Users/*/AppData/Local/<cache>, for each user folder that has one.
void cachesBelow(const fs::path& root, std::vector<fs::path>& found) {
    std::error_code error;
    std::vector<fs::path> users;
    for (fs::directory_iterator it(root / "Users", error), end; !error && it != end;
         it.increment(error)) {
        users.push_back(it->path());
    }
    std::sort(users.begin(), users.end());
    for (const fs::path& user : users) {
        const fs::path cache = user / "AppData" / "Local" / kSpotlightCacheBelowLocalAppData;
        std::error_code ignored;
        if (fs::is_directory(cache, ignored)) found.push_back(cache);
    }
}

}  // namespace

std::u16string SpotlightResultFolder() {
    std::u16string profile = ReadEnvironment(u"USERPROFILE");
    if (profile.empty()) profile = ReadEnvironment(u"HOME");
    return profile + u"/Pictures/Spotlight";
}

std::u16string SystemMountTable() {
    return u"/proc/self/mounts";
}

std::vector<std::u16string> FindSpotlightCaches(const std::u16string& mountTable) {
    const std::u16string localAppData = ReadEnvironment(u"LOCALAPPDATA");
    if (!localAppData.empty()) {
        return {localAppData + u"/" + kSpotlightCacheBelowLocalAppData};
    }
    std::vector<fs::path> found;
    for (const fs::path& point : mountPoints(mountTable)) cachesBelow(point, found);
    // A file system mounted twice (a bind mount) holds the same cache: harvest it once.
    std::vector<std::u16string> caches;
    std::set<fs::path> seen;
    for (const fs::path& cache : found) {
        std::error_code error;
        const fs::path real = fs::canonical(cache, error);
        if (!error && seen.insert(real).second) caches.push_back(cache.u16string());
    }
    return caches;
}
