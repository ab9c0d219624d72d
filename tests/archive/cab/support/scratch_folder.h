// A temporary folder for one test, removed with everything in it afterwards, and small file
// helpers for fixtures.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testsupport {

class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelmora-XXXXXX").string();
        char* made = ::mkdtemp(pattern.data());
        if (!made) std::abort();
        FPath = made;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(FPath, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return FPath; }
    std::filesystem::path operator/(const std::string& name) const { return FPath / name; }

private:
    std::filesystem::path FPath;
};

inline void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void writeFile(const std::filesystem::path& path, const std::string& text) {
    writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

inline std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A UTF-16 spelling of a native path (the tests use ASCII and UTF-8 paths).
inline std::u16string u16(const std::filesystem::path& path) {
    std::u8string utf8 = path.u8string();
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        auto b = static_cast<unsigned char>(utf8[i]);
        char32_t c;
        int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; k <= extra; ++k) c = (c << 6) | (utf8[i + k] & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// Runs a command line through the shell; its exit status.
inline int run(const std::string& command) {
    return std::system(command.c_str());
}

}  // namespace testsupport

namespace testsupport {

// Drops the effective user to "nobody" for the scope when the tests run as root, so that
// file permissions are enforced on the code under test as they would be for a user.
class UnprivilegedScope {
public:
    UnprivilegedScope() : FWasRoot(::geteuid() == 0) {
        if (FWasRoot && ::seteuid(65534) != 0) std::abort();
    }
    ~UnprivilegedScope() {
        if (FWasRoot && ::seteuid(0) != 0) std::abort();
    }
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;

private:
    bool FWasRoot;
};

}  // namespace testsupport
