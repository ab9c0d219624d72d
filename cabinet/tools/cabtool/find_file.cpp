#include "find_file.h"

#include <string>
#include <system_error>

namespace cabtool {

namespace {

bool equalIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

std::optional<std::filesystem::path> findFileAnyCase(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) return path;
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    const std::string wanted = path.filename().string();
    // Several spellings may exist side by side; pick the first in name order so the choice is
    // the same on every run.
    std::optional<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file(ec)) continue;
        std::string name = entry.path().filename().string();
        if (!equalIgnoringAsciiCase(name, wanted)) continue;
        if (!found || name < found->filename().string()) found = entry.path();
    }
    return found;
}

}  // namespace cabtool
