// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return FPath; }
    // The folder as a UTF-16 disk path, or a path under it ("a/b" written with this system's
    // own separator, as the archive's callers hand paths over).
    std::u16string u16() const { return FPath.u16string(); }
    std::u16string u16(std::u16string_view relative) const;
    // Writes a file (making its folders) under the folder and answers its full path.
    std::filesystem::path writeFile(std::u16string_view relative, std::string_view content);
    std::string readFile(std::u16string_view relative) const;

private:
    std::filesystem::path FPath;
};

// A relative path written with "/" in this system's own separators ("a\\b" on Windows).
std::u16string nativeSeparators(std::u16string_view path);
