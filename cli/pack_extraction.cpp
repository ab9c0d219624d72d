#include "cli/pack_extraction.h"

#include <cstdio>
#include <exception>
#include <filesystem>

#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_file_system.h"
#include "archive/core/ab_messages.h"
#include "util/common_func.h"
#include "util/errors.h"
#include "util/path_delimiter.h"
#include "util/printable_text.h"
#include "util/stop_request.h"
#include "util/utf16_text.h"

namespace {

constexpr char kProgram[] = "pelmora-extract: ";

std::string utf8(const std::u16string& text) {
    return utf16ToUtf8(text);
}

std::string twoDigits(int value) {
    return std::string(value < 10 ? "0" : "") + std::to_string(value);
}

// "2026-12-10 14:55:30" from a DOS date and time.
std::string dosDateTimeText(uint16_t date, uint16_t time) {
    return std::to_string(1980 + (date >> 9)) + "-" + twoDigits((date >> 5) & 0x0F) + "-" +
           twoDigits(date & 0x1F) + " " + twoDigits(time >> 11) + ":" +
           twoDigits((time >> 5) & 0x3F) + ":" + twoDigits((time & 0x1F) * 2);
}

std::string sizeColumn(int64_t size) {
    std::string text = std::to_string(size);
    if (text.size() < 10) text.insert(0, 10 - text.size(), ' ');
    return text;
}

// A member's stored name as printed: it comes from the archive, so its control characters
// are escaped and cannot drive the terminal.
std::string memberNameText(const TAbArchiveItem* item) {
    return item ? printableText(utf8(item->FileName())) : "?";
}

std::u16string fileNameOf(const std::u16string& path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsPathDelimiter(path[i - 1])) return path.substr(i);
    }
    return path;
}

}  // namespace

std::u16string ItemFailureReason(TAbErrorClass errorClass, int32_t errorCode) {
    return ItemFailureMessage(errorClass, errorCode);
}

TPackExtraction::TPackExtraction(TCliOptions options, std::ostream& out, std::ostream& err,
                                 bool showProgress)
    : FOptions(std::move(options)),
      FOut(out),
      FErr(err),
      FBar(err, showProgress && !FOptions.Quiet) {
    TAbExtractOptions extractOptions{eoCreateDirs};
    if (FOptions.RestorePaths) extractOptions.Include(eoRestorePath);
    FExtractor.SetExtractOptions(extractOptions);
    FExtractor.SetOnArchiveProgress([this](TComponent&, uint8_t progress, bool& abort) {
        if (FExtracting) FBar.Show(utf8(fileNameOf(FPack)), progress);
        abort = StopRequested();  // an interrupted run looks at no further member
    });
    FExtractor.SetOnConfirmProcessItem(
        [this](TComponent&, TAbArchiveItem*, TAbProcessType, bool&) { ++FConfirmed; });
    FExtractor.SetOnProcessItemFailure(
        [this](TComponent&, TAbArchiveItem* item, TAbProcessType, TAbErrorClass errorClass,
               int32_t errorCode) { memberFailed(item, errorClass, errorCode); });
}

TPackExtraction::~TPackExtraction() {
    FExtractor.SetOnArchiveProgress({});
    FExtractor.SetOnConfirmProcessItem({});
    FExtractor.SetOnProcessItemFailure({});
}

int TPackExtraction::Run() {
    for (const std::u16string& pack : FOptions.Packs) {
        if (StopRequested()) break;
        FPack = pack;
        try {
            if (FOptions.List) {
                list(pack);
            } else {
                extract(pack);
            }
        } catch (...) {
            FExtracting = false;
            packFailed(pack, exceptionMessage(std::current_exception()));
        }
    }
    // Lets the last pack go before the summary of the run is final.
    FExtractor.CloseArchive();
    return FAnyFailure ? 1 : 0;
}

void TPackExtraction::open(const std::u16string& pack) {
    FExtractor.CloseArchive();
    if (!FileExists(pack)) {
        if (DirectoryExists(pack)) throw EAbInvalidCabFile();
        throw EAbFileNotFound();
    }
    if (DetectArchiveType(pack, TAbArchiveType::atCab) != TAbArchiveType::atCab) {
        throw EAbInvalidCabFile();
    }
}

std::u16string TPackExtraction::targetFolderOf(const std::u16string& pack) const {
    if (!FOptions.TargetFolder.empty()) return FOptions.TargetFolder;
    const std::u16string name = fileNameOf(pack);
    return pack.substr(0, pack.size() - name.size()) + ExtractBaseName(pack);
}

void TPackExtraction::extract(const std::u16string& pack) {
    open(pack);
    std::u16string target = targetFolderOf(pack);
    // A pack named only by its extension (".themepack") is extracted beside itself.
    if (target.empty()) target = u".";
    // The folder chain is made from an absolute path: the archive code's chain skips the
    // first element of a path, which for a relative one is a folder of its own.
    if (!DirectoryExists(target))
        CreateDirectoryChain(fromFsPath(std::filesystem::absolute(toFsPath(target))));
    FExtractor.SetBaseDirectory(target);
    FExtractor.SetFileName(pack);
    if (!FExtractor.Archive()) throw EAbInvalidCabFile();

    FConfirmed = 0;
    FMemberFailures = 0;
    FExtracting = true;
    FBar.Show(utf8(fileNameOf(pack)), 0);
    FExtractor.ExtractFiles(FOptions.MemberMask());
    FExtracting = false;
    FBar.Clear();

    if (FOptions.Quiet) return;
    const size_t extracted = FConfirmed - FMemberFailures;
    FOut << utf8(pack) << ": " << extracted << (extracted == 1 ? " member" : " members")
         << " extracted into " << utf8(target);
    if (FMemberFailures) FOut << ", " << FMemberFailures << " failed";
    FOut << '\n' << std::flush;
}

void TPackExtraction::list(const std::u16string& pack) {
    open(pack);
    FExtractor.SetFileName(pack);
    if (!FExtractor.Archive()) throw EAbInvalidCabFile();
    if (FOptions.Packs.size() > 1 && !FOptions.Quiet) FOut << utf8(pack) << ":\n";
    for (int32_t i = 0; i < FExtractor.Count(); ++i) {
        const TAbArchiveItem* item = FExtractor.Items(i);
        if (!item) continue;
        FOut << sizeColumn(item->UncompressedSize()) << "  "
             << dosDateTimeText(item->LastModFileDate(), item->LastModFileTime()) << "  "
             << memberNameText(item) << '\n';
    }
    FOut << std::flush;
}

void TPackExtraction::packFailed(const std::u16string& pack, const std::u16string& message) {
    FAnyFailure = true;
    FBar.Clear();
    FOut << std::flush;
    FErr << kProgram << utf8(pack) << ": " << utf8(message) << '\n' << std::flush;
}

void TPackExtraction::memberFailed(TAbArchiveItem* item, TAbErrorClass errorClass,
                                   int32_t errorCode) {
    ++FMemberFailures;
    FAnyFailure = true;
    // The archive reports a failed member while it handles the error, so the error itself
    // is at hand and says more than its classification.
    const std::exception_ptr live = std::current_exception();
    const std::u16string reason =
        live ? exceptionMessage(live) : ItemFailureReason(errorClass, errorCode);
    FBar.Clear();
    FOut << std::flush;
    FErr << kProgram << utf8(FPack) << ": " << memberNameText(item) << ": " << utf8(reason) << '\n'
         << std::flush;
}
