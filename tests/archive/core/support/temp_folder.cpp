#include "support/temp_folder.h"

#include <atomic>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto name =
            "pelmora-core-" + std::to_string(random()) + "-" + std::to_string(++counter);
        FPath = fs::temp_directory_path() / name;
        if (fs::create_directory(FPath)) return;
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(FPath, ignored);
}

std::u16string TempFolder::u16(std::u16string_view relative) const {
    return (FPath / fs::path(std::u16string(relative))).make_preferred().u16string();
}

std::u16string nativeSeparators(std::u16string_view path) {
    return fs::path(std::u16string(path)).make_preferred().u16string();
}

fs::path TempFolder::writeFile(std::u16string_view relative, std::string_view content) {
    const fs::path file = FPath / fs::path(std::u16string(relative));
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return file;
}

std::string TempFolder::readFile(std::u16string_view relative) const {
    std::ifstream in(FPath / fs::path(std::u16string(relative)), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
