#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "util/environment.h"
#include "util/utf16_text.h"

extern char** environ;

std::u16string ReadEnvironment(const std::u16string& name) {
    const std::string wanted = utf16ToUtf8(name);
    if (wanted.empty()) return {};
    if (const char* value = std::getenv(wanted.c_str())) return utf8ToUtf16(value);
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (!equals || static_cast<size_t>(equals - *entry) != wanted.size()) continue;
        if (strncasecmp(*entry, wanted.c_str(), wanted.size()) == 0) return utf8ToUtf16(equals + 1);
    }
    return {};
}
