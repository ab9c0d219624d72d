// Dates, times and attributes as cabinets store them (DOS date and time words).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace cabtool {

std::string formatDosDate(uint16_t date);  // YYYY-MM-DD
std::string formatDosTime(uint16_t time);  // HH:MM:SS
// Letters of the set attribute bits in the order rhsaxu, '-' for the others.
std::string formatAttributes(uint16_t attributes);

// Stamps the file with the stored date and time, read as local time; an impossible stamp
// leaves the file's time alone. False when the stamp could not be applied.
bool applyDosTime(const std::filesystem::path& file, uint16_t date, uint16_t time);
// Read-only takes the write permissions away; execute adds it where reading is allowed.
void applyAttributes(const std::filesystem::path& file, uint16_t attributes);

}  // namespace cabtool
