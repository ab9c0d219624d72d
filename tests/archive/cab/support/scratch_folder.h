// A temporary folder for one test, removed with everything in it afterwards, and small file
// helpers for fixtures.
#pragma once

#ifndef _WIN32
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace testsupport {

class ScratchFolder {
public:
    ScratchFolder() {
        // A new folder under a random name; creating it is the test that nobody else has it.
        std::random_device entropy;
        for (int attempt = 0; attempt < 100; ++attempt) {
            FPath =
                std::filesystem::temp_directory_path() / ("pelmora-" + std::to_string(entropy()));
            if (std::filesystem::create_directory(FPath)) return;
        }
        std::abort();
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

// A file's last write time in seconds since 1970-01-01 UTC.
inline int64_t modifiedUnixSeconds(const std::filesystem::path& path) {
    const auto system = std::chrono::file_clock::to_sys(std::filesystem::last_write_time(path));
    return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

// The calendar of a moment in local time.
inline std::tm localCalendar(std::time_t when) {
    std::tm calendar{};
#ifdef _WIN32
    localtime_s(&calendar, &when);
#else
    localtime_r(&when, &calendar);
#endif
    return calendar;
}

// Whether anybody may write the file (on Windows: it is not read-only).
inline bool isWritable(const std::filesystem::path& path) {
    using std::filesystem::perms;
    const perms write = perms::owner_write | perms::group_write | perms::others_write;
    return (std::filesystem::status(path).permissions() & write) != perms::none;
}

// Takes every permission from the file, leaving its folder open to all (for the tests of
// files that cannot be opened).
inline void makeUnreadable(const std::filesystem::path& file, const std::filesystem::path& folder) {
    using std::filesystem::perms;
    std::filesystem::permissions(file, perms::none);
    std::filesystem::permissions(folder, perms::owner_all | perms::group_read | perms::group_exec |
                                             perms::others_read | perms::others_exec);
}

// Runs a command line through the shell; its exit status.
inline int run(const std::string& command) {
    return std::system(command.c_str());
}

}  // namespace testsupport

namespace testsupport {

// Sets an environment variable of the process for the scope, and restores its earlier value
// (or its absence) afterwards.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const char* value) : FName(name) {
        const char* earlier = std::getenv(name);
        FHadValue = earlier != nullptr;
        if (earlier) FEarlier = earlier;
        set(value);
    }
    ~EnvironmentScope() { set(FHadValue ? FEarlier.c_str() : nullptr); }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    void set(const char* value) {
#ifdef _WIN32
        _putenv_s(FName.c_str(), value ? value : "");  // an empty value removes it
#else
        if (value)
            ::setenv(FName.c_str(), value, 1);
        else
            ::unsetenv(FName.c_str());
#endif
    }
    std::string FName;
    std::string FEarlier;
    bool FHadValue = false;
};

// Drops the effective user to "nobody" for the scope when the tests run as root, so that
// file permissions are enforced on the code under test as they would be for a user. Windows
// has no such switch; there the scope changes nothing.
class UnprivilegedScope {
public:
#ifdef _WIN32
    UnprivilegedScope() : FWasRoot(false) {}
#else
    UnprivilegedScope() : FWasRoot(::geteuid() == 0) {
        if (FWasRoot && ::seteuid(65534) != 0) std::abort();
    }
    ~UnprivilegedScope() {
        if (FWasRoot && ::seteuid(0) != 0) std::abort();
    }
#endif
    UnprivilegedScope(const UnprivilegedScope&) = delete;
    UnprivilegedScope& operator=(const UnprivilegedScope&) = delete;

private:
    bool FWasRoot;
};

}  // namespace testsupport
