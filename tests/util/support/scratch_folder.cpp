#include "support/scratch_folder.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "util/utf16_text.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "pelmora-util-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    root_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    // Give back the write permission that read-only fixtures took away, then remove all.
    std::error_code ignored;
    for (auto it = fs::recursive_directory_iterator(root_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ignored);
    }
    fs::remove_all(root_, ignored);
}

fs::path ScratchFolder::writeFile(const std::string& relative, const std::string& bytes) {
    const fs::path file = root_ / relative;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

fs::path ScratchFolder::makeFolder(const std::string& relative) {
    fs::create_directories(root_ / relative);
    return root_ / relative;
}

std::u16string toU16(const fs::path& path) {
    return utf8ToUtf16(path.string());
}
