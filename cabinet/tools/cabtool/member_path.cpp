#include "member_path.h"

#include <system_error>

namespace cabtool {

std::optional<std::filesystem::path> memberRelativePath(const std::string& storedName) {
    std::filesystem::path result;
    size_t start = 0;
    bool first = true;
    while (start <= storedName.size()) {
        size_t end = storedName.find_first_of("\\/", start);
        if (end == std::string::npos) end = storedName.size();
        std::string part = storedName.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") return std::nullopt;
        if (first && part.size() >= 2 && part[1] == ':') return std::nullopt;
        first = false;
        result /= part;
    }
    if (result.empty()) return std::nullopt;
    return result;
}

bool staysInside(const std::filesystem::path& root, const std::filesystem::path& target) {
    std::error_code ec;
    auto base = std::filesystem::weakly_canonical(root, ec);
    if (ec) return false;
    auto full = std::filesystem::weakly_canonical(target, ec);
    if (ec) return false;
    auto b = base.begin();
    auto f = full.begin();
    for (; b != base.end(); ++b, ++f) {
        if (b->empty()) continue;  // a trailing separator of the root
        if (f == full.end() || *b != *f) return false;
    }
    return true;
}

}  // namespace cabtool
