// A temporary folder made for one test and removed with everything in it afterwards.
#pragma once

#include <filesystem>
#include <string>

class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return root_; }
    // Writes `bytes` into root/relative, creating the folders on the way.
    std::filesystem::path writeFile(const std::string& relative, const std::string& bytes = "x");
    std::filesystem::path makeFolder(const std::string& relative);

private:
    std::filesystem::path root_;
};

std::u16string toU16(const std::filesystem::path& path);
