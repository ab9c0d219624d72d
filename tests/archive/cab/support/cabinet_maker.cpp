#include "support/cabinet_maker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "support/scratch_folder.h"

namespace fs = std::filesystem;

namespace testsupport {
namespace {

#ifdef _WIN32
// Windows' command processor: double quotes; no peer tools, so our own cabtool.exe writes
// every kind of fixture (its stored and MSZIP output stand in for gcab's).
std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string cabinetCommand(CabMaker maker, const fs::path& source, const fs::path& cabinet,
                           const std::string& list) {
    const char* method = maker == CabMaker::CabtoolLzx  ? "lzx:21"
                         : maker == CabMaker::GcabMszip ? "mszip"
                                                        : "none";
    return "cd /d " + quoted(source.string()) + " && " +
           quoted(PELMORA_BINARY_DIR "/bin/cabtool.exe") + " create -z " + method + " " +
           quoted(cabinet.string()) + list + " >NUL";
}
#else
std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string cabinetCommand(CabMaker maker, const fs::path& source, const fs::path& cabinet,
                           const std::string& list) {
    if (maker == CabMaker::CabtoolLzx) {
        return "cd " + quoted(source.string()) + " && " +
               quoted(PELMORA_BINARY_DIR "/bin/cabtool") + " create -z lzx:21 " +
               quoted(cabinet.string()) + list + " >/dev/null";
    }
    return "cd " + quoted(source.string()) + " && gcab -c " +
           (maker == CabMaker::GcabMszip ? "-z " : "") + quoted(cabinet.string()) + list +
           " >/dev/null";
}
#endif

std::string diskName(std::string stored) {
    std::replace(stored.begin(), stored.end(), '\\', '/');
    return stored;
}

void setModified(const fs::path& path, std::time_t when) {
    const auto moment = std::chrono::system_clock::from_time_t(when);
    std::error_code ignored;
    fs::last_write_time(path, std::chrono::file_clock::from_sys(moment), ignored);
}

}  // namespace

const char* makerName(CabMaker maker) {
    switch (maker) {
        case CabMaker::GcabStored:
            return "GcabStored";
        case CabMaker::GcabMszip:
            return "GcabMszip";
        case CabMaker::CabtoolLzx:
            return "CabtoolLzx";
    }
    return "?";
}

std::time_t localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second, t.tm_isdst = -1;
    return std::mktime(&t);
}

std::vector<CabMember> themePackMembers() {
    std::string jpeg(3000, '\0');
    std::string png(5000, '\0');
    for (std::size_t i = 0; i < jpeg.size(); ++i) jpeg[i] = static_cast<char>((i * 7) % 251);
    for (std::size_t i = 0; i < png.size(); ++i) png[i] = static_cast<char>((i * i) % 253);
    return {{"DesktopBackground\\img1.jpg", "\xFF\xD8\xFF\xE0" + jpeg,
             localTime(2019, 10, 1, 8, 30, 0)},
            {"DesktopBackground\\img2.PNG", "\x89PNG\r\n" + png, localTime(2020, 1, 1, 12, 0, 0)},
            {"Autumn.theme", "[Theme]\r\nDisplayName=Autumn\r\n", localTime(2020, 3, 4, 5, 6, 8)}};
}

fs::path makeCabinet(const fs::path& folder, const std::string& name,
                     const std::vector<CabMember>& members, CabMaker maker) {
    fs::path source = folder / ("source-of-" + name);
    std::string list;
    for (const auto& m : members) {
        fs::path file = source / diskName(m.storedName);
        writeFile(file, m.content);
        setModified(file, m.modified);
        // Appended piece by piece: GCC 12 at -O3 misreads " " + a temporary string as an
        // overlapping copy and warns.
        list += ' ';
        list += quoted(diskName(m.storedName));
    }
    fs::path cabinet = folder / name;
    const std::string command = cabinetCommand(maker, source, cabinet, list);
    if (run(command) != 0 || !fs::exists(cabinet)) {
        ADD_FAILURE() << "could not make a cabinet: " << command;
        return {};
    }
    fs::remove_all(source);
    return cabinet;
}

std::size_t attributeOffset(const std::vector<uint8_t>& cabinet, const std::string& storedName) {
    // A file entry: size (4), folder offset (4), folder index (2), date (2), time (2),
    // attributes (2), then the zero-terminated name.
    std::vector<uint8_t> key(storedName.begin(), storedName.end());
    key.push_back(0);
    auto at = std::search(cabinet.begin(), cabinet.end(), key.begin(), key.end());
    if (at == cabinet.end()) return std::string::npos;
    return static_cast<std::size_t>(at - cabinet.begin()) - 2;
}

}  // namespace testsupport
