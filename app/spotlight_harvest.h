// The window's side of the Spotlight harvest: the harvest itself (shared with the command
// line) run on a worker thread, one at a time.
#pragma once

#include <atomic>
#include <thread>

#include "spotlight/spotlight_harvest.h"

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
