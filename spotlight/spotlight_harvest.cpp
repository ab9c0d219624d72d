#include "spotlight/spotlight_harvest.h"

#include "spotlight/picture_width.h"
#include "util/common_func.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLandscapeWidth = 1920;
constexpr int kPortraitWidth = 1080;

fs::path pathOf(const std::u16string& text) {
    return fs::path(text);
}

std::u16string below(const std::u16string& folder, const char16_t* name) {
    return (pathOf(folder) / name).u16string();
}

// Copies the files of the cache at or above the size floor into the staging folder, named
// after the cache file with ".jpg" appended; answers how many were copied.
size_t copyLargeFiles(const fs::path& source, const fs::path& staging) {
    size_t copied = 0;
    std::error_code error;
    for (fs::directory_iterator it(source, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored) ||
            it->file_size(ignored) < uint64_t(kSpotlightSizeFloor) || ignored) {
            continue;
        }
        fs::path target = staging / it->path().filename();
        target += ".jpg";
        if (fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, ignored)) {
            ++copied;
        }
    }
    return copied;
}

// Moves the staged pictures of the two wanted widths into their folders, replacing a file of
// the same name there; the rest stays behind.
void sortByWidth(const TSpotlightFolders& folders, TSpotlightCacheCount& count) {
    std::error_code error;
    for (fs::directory_iterator it(pathOf(folders.Staging()), error), end; !error && it != end;
         it.increment(error)) {
        const int width = PictureWidth(it->path());
        fs::path target;
        size_t* tally = nullptr;
        if (width == kLandscapeWidth) {
            target = pathOf(folders.Landscape());
            tally = &count.Landscape;
        } else if (width == kPortraitWidth) {
            target = pathOf(folders.Portrait());
            tally = &count.Portrait;
        } else {
            continue;
        }
        std::error_code failed;
        fs::rename(it->path(), target / it->path().filename(), failed);
        if (!failed) ++*tally;
    }
}

// Empties the staging folder for the next cache: what was not sorted is not kept.
void clearStaging(const fs::path& staging) {
    std::error_code error;
    std::vector<fs::path> left;
    for (fs::directory_iterator it(staging, error), end; !error && it != end; it.increment(error)) {
        left.push_back(it->path());
    }
    for (const fs::path& file : left) DeleteFileOrTree(file.u16string(), false);
}

}  // namespace

const char16_t kSpotlightCacheBelowLocalAppData[] =
    u"Packages/Microsoft.Windows.ContentDeliveryManager_cw5n1h2txyewy/LocalState/Assets";

std::u16string TSpotlightFolders::Staging() const {
    return below(Result, u"CopyAssets");
}
std::u16string TSpotlightFolders::Landscape() const {
    return below(Result, u"Horizontal");
}
std::u16string TSpotlightFolders::Portrait() const {
    return below(Result, u"Vertical");
}

std::vector<TSpotlightCacheCount> DoSpotlight(const TSpotlightFolders& folders,
                                              const TFolderOpener& openFolder) {
    for (const std::u16string& folder :
         {folders.Result, folders.Staging(), folders.Landscape(), folders.Portrait()}) {
        std::error_code ignored;
        fs::create_directories(pathOf(folder), ignored);
    }
    std::vector<TSpotlightCacheCount> counts;
    for (const std::u16string& source : folders.Sources) {
        TSpotlightCacheCount count{source};
        count.Copied = copyLargeFiles(pathOf(source), pathOf(folders.Staging()));
        sortByWidth(folders, count);
        clearStaging(pathOf(folders.Staging()));
        counts.push_back(count);
    }
    DeleteTree(pathOf(folders.Staging()).make_preferred().u16string());
    if (openFolder) openFolder(pathOf(folders.Result).make_preferred().u16string());
    return counts;
}

TSpotlightFolders UserSpotlightFolders() {
    return {FindSpotlightCaches(SystemMountTable()), SpotlightResultFolder()};
}
