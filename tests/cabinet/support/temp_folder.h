// A temporary folder for one test, removed with everything in it afterwards, and helpers that
// make fixture files and cabinets in it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace cabtest {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Writes a file of that name in the folder and answers its path.
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) const;

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// `size` bytes of text that compresses like real documents: words drawn from a small
// vocabulary by a seeded generator, so runs repeat at many distances.
std::vector<uint8_t> sampleText(size_t size, uint32_t seed);
// `size` bytes that do not compress.
std::vector<uint8_t> noise(size_t size, uint32_t seed);

struct FixtureMember {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Writes the members into `folder` and lets gcab put them in one folder of a new cabinet,
// MSZIP-compressed when `mszip`. Throws when gcab fails.
std::filesystem::path makeGcabCabinet(const std::filesystem::path& folder,
                                      const std::string& cabinetName,
                                      const std::vector<FixtureMember>& members, bool mszip);

// Runs a shell command and answers its exit status (-1 when it did not exit normally).
int runCommand(const std::string& command);

}  // namespace cabtest
