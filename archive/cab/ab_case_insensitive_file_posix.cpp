#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "archive/cab/ab_case_insensitive_file.h"
#include "archive/cab/ab_code_page.h"
#include "archive/cab/ab_stream.h"

namespace pelmora {
namespace {

// Folds the letters Windows folds in file names for the scripts theme packs use: ASCII and
// the Latin-1 letters.
char16_t foldCase(char16_t c) {
    if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
    if (c == 0xFF) return 0x178;
    return c;
}

bool sameIgnoringCase(const std::u16string& a, const std::u16string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char16_t x, char16_t y) { return foldCase(x) == foldCase(y); });
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::u16string findFileIgnoringCase(const std::u16string& fileName) {
    if (exists(nativePath(fileName))) return fileName;
    std::size_t cut = fileName.find_last_of(u'/');
    std::u16string folder = cut == std::u16string::npos ? u"" : fileName.substr(0, cut + 1);
    std::u16string name = cut == std::u16string::npos ? fileName : fileName.substr(cut + 1);
    std::string nativeFolder = folder.empty() ? "." : nativePath(folder);
    DIR* dir = ::opendir(nativeFolder.c_str());
    if (!dir) return fileName;
    std::u16string found = fileName;
    while (dirent* entry = ::readdir(dir)) {
        std::u16string candidate = codepage::utf8ToUtf16(entry->d_name);
        if (sameIgnoringCase(candidate, name)) {
            found = folder + candidate;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace pelmora
