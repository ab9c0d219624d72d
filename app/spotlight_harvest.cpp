#include "app/spotlight_harvest.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <filesystem>

#include "app/system_folders.h"
#include "util/common_func.h"

namespace fs = std::filesystem;

namespace {

constexpr int kLandscapeWidth = 1920;
constexpr int kPortraitWidth = 1080;

fs::path toPath(const QString& text) {
    return fs::path(text.toStdU16String());
}

// The width in pixels, or -1 when the file is not an image Qt can read.
int imageWidth(const QString& file) {
    QImageReader reader(file);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.isValid()) return size.width();
    // Some formats only know their size once decoded.
    const QImage image = reader.read();
    return image.isNull() ? -1 : image.width();
}

void copyLargeFiles(const TSpotlightFolders& folders) {
    const QDir source(folders.Source);
    for (const QFileInfo& item : source.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (item.size() < kSpotlightSizeFloor) continue;
        std::error_code ignored;
        fs::copy_file(
            toPath(item.absoluteFilePath()),
            toPath(folders.Staging() + QLatin1Char('/') + item.fileName() + QStringLiteral(".jpg")),
            fs::copy_options::overwrite_existing, ignored);
    }
}

// Moves the staged pictures of the two wanted widths into their folders, replacing a file of
// the same name there; the rest stays behind.
void sortByWidth(const TSpotlightFolders& folders) {
    const QDir staging(folders.Staging());
    for (const QFileInfo& item : staging.entryInfoList(QDir::Files | QDir::Hidden)) {
        const int width = imageWidth(item.absoluteFilePath());
        QString target;
        if (width == kLandscapeWidth) {
            target = folders.Landscape();
        } else if (width == kPortraitWidth) {
            target = folders.Portrait();
        } else {
            continue;
        }
        std::error_code ignored;
        fs::rename(toPath(item.absoluteFilePath()),
                   toPath(target + QLatin1Char('/') + item.fileName()), ignored);
    }
}

}  // namespace

void DoSpotlight(const TSpotlightFolders& folders, const TFolderOpener& openFolder) {
    for (const QString& folder :
         {folders.Result, folders.Staging(), folders.Landscape(), folders.Portrait()}) {
        QDir().mkpath(folder);
    }
    copyLargeFiles(folders);
    sortByWidth(folders);
    DeleteTree(QDir::toNativeSeparators(folders.Staging()).toStdU16String());
    if (openFolder) openFolder(QDir::toNativeSeparators(folders.Result).toStdU16String());
}

TSpotlightFolders UserSpotlightFolders() {
    return {QDir::fromNativeSeparators(QString::fromStdU16String(SpotlightSourceFolder())),
            QDir::fromNativeSeparators(QString::fromStdU16String(SpotlightResultFolder()))};
}

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
            // A harvest reports nothing; whatever failed simply has no result.
        }
        FRunning = false;
    });
    return true;
}

void TSpotlightRunner::Wait() {
    if (FWorker.joinable()) FWorker.join();
}
