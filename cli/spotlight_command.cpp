#include "cli/spotlight_command.h"

#include <filesystem>

#include "spotlight/spotlight_harvest.h"
#include "util/utf16_text.h"

namespace {

bool isFolder(const std::u16string& path) {
    std::error_code ignored;
    return std::filesystem::is_directory(std::filesystem::path(path), ignored);
}

std::string pictures(size_t count) {
    return std::to_string(count) + (count == 1 ? " picture" : " pictures");
}

}  // namespace

int RunSpotlightHarvest(bool quiet, std::ostream& out, std::ostream& err,
                        const std::u16string& mountTable) {
    TSpotlightFolders folders{{}, SpotlightResultFolder()};
    for (const std::u16string& cache : FindSpotlightCaches(mountTable)) {
        if (isFolder(cache)) folders.Sources.push_back(cache);
    }
    if (folders.Sources.empty()) {
        err << "pelmora-extract: no Windows Spotlight cache found (looked below LOCALAPPDATA "
               "where it is set, otherwise on every mounted Windows system under "
               "Users/*/AppData/Local/Packages/"
               "Microsoft.Windows.ContentDeliveryManager_cw5n1h2txyewy/LocalState/Assets)\n"
            << std::flush;
        return 1;
    }
    size_t landscape = 0;
    size_t portrait = 0;
    for (const TSpotlightCacheCount& count : DoSpotlight(folders, nullptr)) {
        landscape += count.Landscape;
        portrait += count.Portrait;
        if (quiet) continue;
        out << utf16ToUtf8(count.Source) << ": " << count.Copied << " large "
            << (count.Copied == 1 ? "file" : "files") << ", " << count.Landscape << " landscape, "
            << count.Portrait << " portrait\n";
    }
    if (!quiet) {
        out << utf16ToUtf8(folders.Landscape()) << ": " << pictures(landscape) << " harvested\n"
            << utf16ToUtf8(folders.Portrait()) << ": " << pictures(portrait) << " harvested\n";
    }
    out << std::flush;
    return 0;
}
