#include "support/temp_folder.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include "support/process_output.h"

namespace cabtest {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cabtest-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    // Members extracted read-only must be writable again before they can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string TempFolder::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    const std::filesystem::path file = path_ / name;
    writeFile(file, bytes);
    return file.string();
}

std::vector<uint8_t> sampleText(size_t size, uint32_t seed) {
    static const char* const kWords[] = {"cabinet", "folder", "theme", "wallpaper", "block",
                                         "window",  "the",    "of",    "and",       "picture",
                                         "light",   "dark",   "blue",  "\n",        "12345"};
    std::mt19937 random(seed);
    std::vector<uint8_t> text;
    text.reserve(size);
    while (text.size() < size) {
        const char* word = kWords[random() % (sizeof kWords / sizeof *kWords)];
        for (const char* p = word; *p && text.size() < size; ++p)
            text.push_back(static_cast<uint8_t>(*p));
        if (text.size() < size) text.push_back(' ');
    }
    return text;
}

std::vector<uint8_t> noise(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

std::filesystem::path makeGcabCabinet(const std::filesystem::path& folder,
                                      const std::string& cabinetName,
                                      const std::vector<FixtureMember>& members, bool mszip) {
    std::filesystem::path sources = folder / (cabinetName + ".members");
    std::string command = "cd " + cabinet::testing::shellQuote(sources.string()) + " && gcab -c";
    if (mszip) command += " -z";
    // Appended piece by piece: GCC 12 at -O3 misreads " " + a temporary string as an
    // overlapping copy and warns.
    command += ' ';
    command += cabinet::testing::shellQuote((folder / cabinetName).string());
    for (const auto& m : members) {
        writeFile(sources / m.name, m.bytes);
        command += ' ';
        command += cabinet::testing::shellQuote(m.name);
    }
    if (runCommand(command + " >/dev/null 2>&1") != 0)
        throw std::runtime_error("gcab could not make " + cabinetName);
    return folder / cabinetName;
}

int runCommand(const std::string& command) {
    int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace cabtest
