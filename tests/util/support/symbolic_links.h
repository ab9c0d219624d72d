// Symbolic links for fixtures, where the system can make them: Wine cannot, and Windows
// only for users allowed to. A test that needs one skips itself with kNoSymbolicLinks.
#pragma once

#include <filesystem>
#include <system_error>

namespace testsupport {

inline constexpr const char* kNoSymbolicLinks =
    "this system cannot make symbolic links here (Wine, or Windows without the privilege)";

// Makes link point at target (a folder when folder is true); false where that is refused.
inline bool makeSymbolicLink(const std::filesystem::path& target, const std::filesystem::path& link,
                             bool folder) {
    std::error_code error;
    if (folder) {
        std::filesystem::create_directory_symlink(target, link, error);
    } else {
        std::filesystem::create_symlink(target, link, error);
    }
    return !error;
}

}  // namespace testsupport
