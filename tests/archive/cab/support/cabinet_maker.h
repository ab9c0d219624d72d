// Real cabinets for the tests, written by the peer tool gcab (stored or MSZIP) or by our own
// cabtool (LZX), from members given as stored name, content and modification time.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

enum class CabMaker { GcabStored, GcabMszip, CabtoolLzx };

struct CabMember {
    std::string storedName;  // with '\' separators, as Windows tools store them
    std::string content;
    std::time_t modified;  // local time, an even second (DOS time has 2-second steps)
};

const char* makerName(CabMaker maker);

// Writes the cabinet and answers its path; fails the calling test (returning an empty path)
// when the tool is missing or refuses.
std::filesystem::path makeCabinet(const std::filesystem::path& folder, const std::string& name,
                                  const std::vector<CabMember>& members, CabMaker maker);

// A theme pack as Windows ships them: two wallpapers in a folder and the theme file.
std::vector<CabMember> themePackMembers();

// Local time as a time_t.
std::time_t localTime(int year, int month, int day, int hour, int minute, int second);

// The offset of a member's attribute word in a cabinet's file table, for tests that set
// stored attributes gcab cannot write. npos when the name is not found.
std::size_t attributeOffset(const std::vector<uint8_t>& cabinet, const std::string& storedName);

}  // namespace testsupport
