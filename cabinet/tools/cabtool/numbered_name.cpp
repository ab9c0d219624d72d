#include "numbered_name.h"

#include <cstdio>

namespace cabtool {

std::string incrementNumberedExtension(const std::string& name, unsigned number) {
    size_t slash = name.find_last_of("/\\");
    size_t dot = name.find_last_of('.');
    bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string base = hasExtension ? name.substr(0, dot) : name;
    std::string extension = hasExtension ? name.substr(dot) : std::string();
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02u", (number + 1) % 100);
    return base + "." + (extension.size() < 2 ? std::string() : extension.substr(1, 1)) + digits;
}

}  // namespace cabtool
