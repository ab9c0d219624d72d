#include "support/scratch_folder.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <stdexcept>

#include "util/utf16_text.h"

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    // A new folder under a random name; creating it is the test that nobody else has it.
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate =
            fs::temp_directory_path() / ("pelmora-util-" + std::to_string(entropy()));
        if (fs::create_directory(candidate)) {
            root_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch folder");
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
