// Finding a file as a case-insensitive file system would.
#pragma once

#include <filesystem>
#include <optional>

namespace cabtool {

// `path` itself when it exists; otherwise the one entry of its folder whose name equals its
// file name in ASCII letters of any case; nothing when there is none.
std::optional<std::filesystem::path> findFileAnyCase(const std::filesystem::path& path);

}  // namespace cabtool
