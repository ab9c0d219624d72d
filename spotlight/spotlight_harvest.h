// The Spotlight harvest: copies the larger pictures of the Windows Spotlight caches into the
// user's Pictures folder as ".jpg" files, sorted by width into a landscape folder (1920
// pixels wide) and a portrait folder (1080 pixels wide), then shows the result folder. The
// window's menu command and the command line both run this one harvest.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct TSpotlightFolders {
    std::vector<std::u16string> Sources;  // the Spotlight caches, harvested in this order
    std::u16string Result;                // holds the staging, landscape and portrait folders
    std::u16string Staging() const;
    std::u16string Landscape() const;
    std::u16string Portrait() const;
};

// What one cache gave.
struct TSpotlightCacheCount {
    std::u16string Source;
    size_t Copied = 0;     // files at or above the size floor
    size_t Landscape = 0;  // of those, moved into the landscape folder
    size_t Portrait = 0;   // moved into the portrait folder
};

// Files smaller than this are not pictures worth keeping (icons, thumbnails).
constexpr int64_t kSpotlightSizeFloor = 100 * 1024;

using TFolderOpener = std::function<bool(const std::u16string& folder)>;

// The harvest itself, run on the calling thread: for each cache copy, measure, sort; then
// remove the staging folder and open the result folder with `openFolder` (when given). A
// cache that is missing or unreadable gives nothing; nothing is reported as a failure.
std::vector<TSpotlightCacheCount> DoSpotlight(const TSpotlightFolders& folders,
                                              const TFolderOpener& openFolder);

// The folder this user's harvest writes into: "Pictures/Spotlight" under USERPROFILE, or
// under the home folder where USERPROFILE is unset (POSIX).
std::u16string SpotlightResultFolder();

// The place of the cache below a Windows user's local application data folder.
extern const char16_t kSpotlightCacheBelowLocalAppData[];

// Every Spotlight cache this user's harvest reads. Where LOCALAPPDATA is set, the cache below
// it (whether it exists or not). On POSIX without it, every existing cache under
// "Users/*/AppData/Local/..." on each mount point listed in `mountTable` (a file in the
// format of /proc/self/mounts), each found once, in the order of the table.
std::vector<std::u16string> FindSpotlightCaches(const std::u16string& mountTable);
// The system's own mount table (POSIX), or empty where there is none (Windows).
std::u16string SystemMountTable();

// The caches and result folder of this user.
TSpotlightFolders UserSpotlightFolders();
