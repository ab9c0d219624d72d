// The Spotlight harvest: copies the larger pictures of the Windows Spotlight cache into the
// user's Pictures folder as ".jpg" files, sorted by width into a landscape folder (1920
// pixels wide) and a portrait folder (1080 pixels wide), then shows the result folder.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

struct TSpotlightFolders {
    QString Source;  // the Spotlight cache
    QString Result;  // holds the staging, landscape and portrait folders
    QString Staging() const { return Result + QStringLiteral("/CopyAssets"); }
    QString Landscape() const { return Result + QStringLiteral("/Horizontal"); }
    QString Portrait() const { return Result + QStringLiteral("/Vertical"); }
};

// Files smaller than this are not pictures worth keeping (icons, thumbnails).
constexpr int64_t kSpotlightSizeFloor = 100 * 1024;

using TFolderOpener = std::function<bool(const std::u16string& folder)>;

// The harvest itself, run on the calling thread: copy, measure, sort, clean up, then open
// the result folder with `openFolder`.
void DoSpotlight(const TSpotlightFolders& folders, const TFolderOpener& openFolder);

// The cache and result folders of this user.
TSpotlightFolders UserSpotlightFolders();

// Runs harvests on a worker thread, one at a time.
class TSpotlightRunner {
public:
    explicit TSpotlightRunner(TFolderOpener openFolder);
    // Waits for a harvest still in progress.
    ~TSpotlightRunner();
    TSpotlightRunner(const TSpotlightRunner&) = delete;
    TSpotlightRunner& operator=(const TSpotlightRunner&) = delete;

    // Starts a harvest of `folders` and answers true, or answers false and does nothing while
    // one is still in progress.
    bool Start(const TSpotlightFolders& folders);
    bool Running() const { return FRunning; }
    // Blocks until the harvest in progress, if any, has ended.
    void Wait();

private:
    TFolderOpener FOpenFolder;
    std::atomic<bool> FRunning{false};
    std::thread FWorker;
};
