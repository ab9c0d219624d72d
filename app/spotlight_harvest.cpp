#include "app/spotlight_harvest.h"

TSpotlightRunner::TSpotlightRunner(TFolderOpener openFolder) : FOpenFolder(std::move(openFolder)) {}

TSpotlightRunner::~TSpotlightRunner() {
    Wait();
}

bool TSpotlightRunner::Start(const TSpotlightFolders& folders) {
    bool idle = false;
    if (!FRunning.compare_exchange_strong(idle, true)) return false;
    // The previous harvest has ended (it cleared the flag); collect its thread.
    if (FWorker.joinable()) FWorker.join();
    FWorker = std::thread([this, folders] {
        try {
            DoSpotlight(folders, FOpenFolder);
        } catch (...) {
            // The window reports nothing of a harvest; whatever failed simply has no result.
        }
        FRunning = false;
    });
    return true;
}

void TSpotlightRunner::Wait() {
    if (FWorker.joinable()) FWorker.join();
}
