#include "app/extraction_run.h"

#include <exception>
#include <utility>

#include "archive/components/ab_cab_extractor.h"
#include "archive/core/ab_archive_item.h"
#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_file_system.h"
#include "util/common_func.h"
#include "util/errors.h"
#include "util/path_delimiter.h"
#include "util/utf16_text.h"

namespace {

// Creates the pack's folder when it is missing. A folder that cannot be made is not an error
// here: the extractor then refuses the base directory and the pack fails with its reason.
void ensureFolder(const std::u16string& folder) {
    if (folder.empty() || DirectoryExists(folder)) return;
    try {
        CreateDirectoryChain(folder);
    } catch (const std::exception&) {
    }
}

}  // namespace

std::u16string PackTargetFolder(const std::u16string& pack) {
    size_t nameStart = 0;
    for (size_t i = pack.size(); i > 0; --i) {
        if (IsPathDelimiter(pack[i - 1])) {
            nameStart = i;
            break;
        }
    }
    return pack.substr(0, nameStart) + ExtractBaseName(pack);
}

void RaiseNotACabinet(const std::u16string& pack) {
    if (!FileExists(pack) && !DirectoryExists(pack)) throw EAbFileNotFound();
    throw EAbInvalidCabFile();
}

TExtractionRun::TExtractionRun(TPackQueue& queue, TAbCustomCabExtractor& extractor,
                               IRunDisplay& display, std::function<bool()> stopRequested)
    : FQueue(queue),
      FExtractor(extractor),
      FDisplay(display),
      FStopRequested(std::move(stopRequested)) {}

void TExtractionRun::DoExtract() {
    // Entries admitted after this point belong to the next run. Only this run removes
    // entries, so the indices below the current one stay valid while the window appends.
    const size_t count = FQueue.Count();
    for (size_t index = count; index > 0 && !FStopRequested(); --index) {
        const auto path = FQueue.Item(index - 1);
        if (!path) continue;
        std::optional<std::u16string> packError;
        try {
            extractPack(*path);
        } catch (...) {
            // Shutting down: the pack stays queued and nothing more is reported.
            if (FStopRequested()) return;
            packError = exceptionMessage(std::current_exception());
        }
        finishPack(index - 1, *path, packError);
    }
}

void TExtractionRun::extractPack(const std::u16string& path) {
    sName = ExtractBaseName(path);
    FMemberFailures.clear();
    const std::u16string target = PackTargetFolder(path);
    ensureFolder(target);
    FExtractor.SetBaseDirectory(target);
    // Opening reports 0 (the previous pack released) and 100 (the member list read), both
    // under this pack's name, before the reset below.
    FExtractor.SetFileName(path);
    TRunReport reset;
    reset.Kind = TRunReport::TKind::rkReset;
    FDisplay.Post(std::move(reset));
    if (!FExtractor.Archive()) RaiseNotACabinet(path);
    FExtractor.ExtractFiles(kPictureMask);
}

void TExtractionRun::finishPack(size_t index, const std::u16string& path,
                                const std::optional<std::u16string>& packError) {
    // A pack that left members behind has failed as surely as one that could not be opened.
    const bool failed = packError || !FMemberFailures.empty();
    if (failed) {
        auto failures = std::make_shared<std::vector<TPackFailure>>(*FFailures);
        failures->push_back(
            {path, packError ? *packError : StatusText::MembersFailed(FMemberFailures.size()),
             std::exchange(FMemberFailures, {})});
        FFailures = std::move(failures);
    }
    TRunReport done{TRunReport::TKind::rkPackDone, iPos, sName, failed, FFailures};
    bool drained = false;
    FQueue.WithLock([&](std::vector<std::u16string>& entries) {
        // Only the run removes entries, so the pack is still at its index; the check keeps a
        // mistake elsewhere from removing another pack in its place.
        if (index < entries.size() && entries[index] == path) {
            entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
        }
        drained = entries.empty();
    });
    done.QueueDrained = drained;
    FDisplay.Post(std::move(done));
    if (drained) FFailures = std::make_shared<const std::vector<TPackFailure>>();
}

void TExtractionRun::ArchiveProgress(uint8_t Progress, bool& Abort) {
    iPos = Progress;
    FDisplay.Post({TRunReport::TKind::rkProgress, iPos, sName, false, FFailures, false});
    Abort = FStopRequested();
}

void TExtractionRun::ProcessItemFailure(const TAbArchiveItem* Item, TAbErrorClass ErrorClass,
                                        int32_t ErrorCode) {
    FMemberFailures.push_back(
        {Item ? Item->FileName() : std::u16string(),
         ItemFailureMessage(ErrorClass, ErrorCode, std::current_exception())});
}

namespace StatusText {

std::u16string Progress(const std::u16string& name, int32_t percent) {
    return name + u"..." + utf8ToUtf16(std::to_string(percent)) + u"%";
}

std::u16string Failed(const std::u16string& name) {
    return name + u"... failed";
}

std::u16string Complete(size_t failures) {
    if (failures == 0) return u"Complete!";
    if (failures == 1) return u"Complete! 1 pack failed";
    return u"Complete! " + utf8ToUtf16(std::to_string(failures)) + u" packs failed";
}

std::u16string MembersFailed(size_t failures) {
    return utf8ToUtf16(std::to_string(failures)) + (failures == 1 ? u" member" : u" members") +
           u" failed";
}

std::u16string FailureList(const std::vector<TPackFailure>& failures) {
    std::u16string text;
    for (const auto& failure : failures) {
        if (!text.empty()) text += u'\n';
        text += failure.Pack + u": " + failure.Message;
        for (const auto& member : failure.Members) {
            text += u"\n    " + member.Member + u": " + member.Message;
        }
    }
    return text;
}

}  // namespace StatusText
