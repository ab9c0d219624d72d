// cabtool create: writes the named files into a new cabinet, or a set of cabinets when a
// largest cabinet size is given.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"
#include "fci_writer.h"
#include "numbered_name.h"

namespace cabtool {
namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: cabtool create [-z none|mszip|lzx:N] [-f FOLDER_THRESHOLD] [-s MAX_CABINET_SIZE] "
    "OUT FILE...";

std::optional<TCOMP> parseCompression(const std::string& text) {
    if (text == "none") return static_cast<TCOMP>(tcompTYPE_NONE);
    if (text == "mszip") return static_cast<TCOMP>(tcompTYPE_MSZIP);
    unsigned window = 21;
    if (text.rfind("lzx:", 0) == 0) {
        size_t used = 0;
        try {
            window = static_cast<unsigned>(std::stoul(text.substr(4), &used));
        } catch (const std::exception&) {
            return std::nullopt;
        }
        if (used != text.size() - 4) return std::nullopt;
    } else if (text != "lzx") {
        return std::nullopt;
    }
    if (window < 15 || window > 21) return std::nullopt;
    return static_cast<TCOMP>(tcompTYPE_LZX | window << tcompSHIFT_LZX_WINDOW);
}

// A byte count, with an optional k or m suffix (1024 or 1048576 bytes); at most 2 GB.
std::optional<uint32_t> parseSize(const std::string& text) {
    size_t used = 0;
    unsigned long long value = 0;
    try {
        value = std::stoull(text, &used);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    std::string suffix = text.substr(used);
    if (suffix == "k" || suffix == "K") {
        value *= 1024;
    } else if (suffix == "m" || suffix == "M") {
        value *= 1024 * 1024;
    } else if (!suffix.empty()) {
        return std::nullopt;
    }
    if (text[0] == '-' || value > 0x7FFFFFFFull) return std::nullopt;
    return static_cast<uint32_t>(value);
}

// The name as given, with "/" written as "\", without leading "./" or separators: a stored
// name never starts at the root.
std::string storedNameFor(const std::string& argument) {
    std::string name = argument;
    for (;;) {
        if (name.rfind("./", 0) == 0) {
            name.erase(0, 2);
        } else if (!name.empty() && name[0] == '/') {
            name.erase(0, 1);
        } else {
            break;
        }
    }
    for (char& c : name) {
        if (c == '/') c = '\\';
    }
    return name;
}

bool hasNonAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c > 0x7F) return true;
    }
    return false;
}

// The file's modification time as DOS date and time words, in local time, held to the
// years a DOS date can express (1980 to 2107).
void dosStamp(const fs::path& file, uint16_t& date, uint16_t& time) {
    std::error_code ec;
    auto written = fs::last_write_time(file, ec);
    std::time_t seconds =
        ec ? std::time(nullptr)
           : std::chrono::system_clock::to_time_t(
                 std::chrono::time_point_cast<std::chrono::system_clock::duration>(
                     std::chrono::file_clock::to_sys(written)));
    std::tm local{};
    if (const std::tm* t = std::localtime(&seconds)) local = *t;
    int year = local.tm_year + 1900;
    if (year < 1980) {
        date = 1 << 5 | 1;
        time = 0;
        return;
    }
    if (year > 2107) {
        date = 127 << 9 | 12 << 5 | 31;
        time = 23 << 11 | 59 << 5 | 29;
        return;
    }
    date = static_cast<uint16_t>((year - 1980) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    time = static_cast<uint16_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
}

struct CreateOptions {
    TCOMP compression = tcompTYPE_MSZIP;
    uint32_t folderThreshold = 0;
    uint32_t maxCabinetSize = 0;
    std::string out;
    std::vector<std::string> files;
};

std::optional<CreateOptions> parseOptions(const Arguments& args) {
    CreateOptions options;
    size_t i = 0;
    for (; i < args.size() && args[i].size() > 1 && args[i][0] == '-'; ++i) {
        const std::string& flag = args[i];
        if (flag == "--") {
            ++i;
            break;
        }
        if (i + 1 >= args.size()) {
            printError("option " + flag + " needs a value");
            return std::nullopt;
        }
        const std::string& value = args[++i];
        if (flag == "-z") {
            auto compression = parseCompression(value);
            if (!compression) {
                printError("unknown compression '" + value + "' (none, mszip, lzx:15 to lzx:21)");
                return std::nullopt;
            }
            options.compression = *compression;
        } else if (flag == "-f" || flag == "-s") {
            auto size = parseSize(value);
            if (!size) {
                printError("invalid size '" + value + "' for " + flag);
                return std::nullopt;
            }
            (flag == "-f" ? options.folderThreshold : options.maxCabinetSize) = *size;
        } else {
            printError("unknown option " + flag);
            return std::nullopt;
        }
    }
    if (args.size() - i < 2) {
        printError(kUsage);
        return std::nullopt;
    }
    options.out = args[i];
    options.files.assign(args.begin() + static_cast<long>(i) + 1, args.end());
    return options;
}

// The members as they will be stored; nothing when a file cannot be added.
std::optional<std::vector<MemberSource>> collectMembers(const std::vector<std::string>& files) {
    std::vector<MemberSource> members;
    std::set<std::string> seen;
    for (const auto& file : files) {
        std::error_code ec;
        auto status = fs::status(file, ec);
        if (ec || !fs::exists(status)) {
            printError(file + ": no such file");
            return std::nullopt;
        }
        if (!fs::is_regular_file(status)) {
            printError(file + ": not a regular file");
            return std::nullopt;
        }
        MemberSource member;
        member.path = file;
        member.storedName = storedNameFor(file);
        if (member.storedName.empty() || member.storedName.size() > 255) {
            printError(file + ": a stored name must have 1 to 255 bytes");
            return std::nullopt;
        }
        if (!seen.insert(member.storedName).second) {
            printError(file + ": named twice");
            return std::nullopt;
        }
        dosStamp(file, member.date, member.time);
        member.attributes = CAB_ATTRIB_ARCHIVE;
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
            member.attributes |= CAB_ATTRIB_READONLY;
        }
        if (hasNonAscii(member.storedName)) member.attributes |= CAB_ATTRIB_NAME_IS_UTF;
        members.push_back(member);
    }
    return members;
}

}  // namespace

int runCreate(const Arguments& args) {
    auto options = parseOptions(args);
    if (!options) return 1;
    auto members = collectMembers(options->files);
    if (!members) return 1;

    FciWriter writer(options->out, options->maxCabinetSize, options->folderThreshold,
                     [](const std::string& previous, unsigned number) {
                         return incrementNumberedExtension(previous, number - 1);
                     });
    bool ok = writer.create();
    for (size_t i = 0; ok && i < members->size(); ++i) {
        ok = writer.add((*members)[i], options->compression);
    }
    ok = ok && writer.finish() && writer.commit();
    if (!ok) {
        printError(options->out + ": " + writer.error());
        return 1;
    }
    for (const auto& [name, size] : writer.cabinets()) {
        std::printf("%s %llu\n", name.c_str(), static_cast<unsigned long long>(size));
    }
    return 0;
}

}  // namespace cabtool
