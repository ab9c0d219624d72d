// Where a member's stored name puts it under the output folder.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace cabtool {

// The stored name as a relative path: "\" and "/" separate folders, empty and "." parts are
// dropped, and a leading separator does not make it absolute. Nothing when the name would
// leave the output folder (a ".." part or a drive prefix such as "C:") or has no file name.
std::optional<std::filesystem::path> memberRelativePath(const std::string& storedName);

// True when `target` (already created folders resolved) lies inside `root`.
bool staysInside(const std::filesystem::path& root, const std::filesystem::path& target);

}  // namespace cabtool
