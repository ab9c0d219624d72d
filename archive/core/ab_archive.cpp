#include "archive/core/ab_archive.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "archive/core/ab_messages.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"
#include "util/errors.h"

namespace {

std::ios::openmode openModeFor(uint16_t mode) {
    if ((mode & fmCreate) == fmCreate) {
        return std::ios::in | std::ios::out | std::ios::trunc | std::ios::binary;
    }
    switch (mode & 3) {
        case fmOpenWrite:
        case fmOpenReadWrite:
            return std::ios::in | std::ios::out | std::ios::binary;
        default:
            return std::ios::in | std::ios::binary;
    }
}

std::u16string_view logWord(TAbProcessType type) {
    switch (type) {
        case ptAdd:
            return u" added ";
        case ptDelete:
            return u" deleted ";
        case ptExtract:
            return u" extracted ";
        case ptFreshen:
            return u" freshened ";
        case ptMove:
            return u" moved ";
        case ptReplace:
            return u" replaced ";
        case ptFoundUnhandled:
            break;
    }
    return u"Unhandled Entity";
}

// Refuses at once a selection whose declared sizes do not fit on the target's file system:
// a small pack can declare gigabytes, and a run that fills the disk halfway helps nobody.
// Each member is counted in full, since its new file is complete before an older file of
// that name goes. When the system cannot tell its free space, the extraction goes ahead.
template <typename Select>
void ensureRoomFor(const TAbArchiveList& items, const std::u16string& folder, Select selected) {
    constexpr int64_t kMost = std::numeric_limits<int64_t>::max();
    int64_t needed = 0;
    for (const TAbArchiveItem* item : items) {
        if (!selected(item)) continue;
        const int64_t size = std::max<int64_t>(item->UncompressedSize(), 0);
        needed = size > kMost - needed ? kMost : needed + size;
    }
    if (needed == 0) return;
    const int64_t available = platform::freeSpaceOf(folder.empty() ? u"." : folder);
    if (available >= 0 && needed > available) throw EAbNotEnoughSpace(needed, available);
}

}  // namespace

TAbArchive::TAbArchive() {
    initialise();
}

TAbArchive::TAbArchive(const std::u16string& FileName, uint16_t Mode) {
    FOwnsStream = true;
    auto stream = std::make_unique<std::fstream>();
    errno = 0;
    stream->open(toFsPath(FileName), openModeFor(Mode));
    if (!stream->is_open()) {
        const int32_t error = errno != 0 ? errno : EIO;
        if ((Mode & fmCreate) == fmCreate) throw EFCreateError(FileName, error);
        throw EFOpenError(FileName, error);
    }
    initialise();
    FArchiveName = FileName;
    FStream = stream.release();
    FMode = Mode;
}

TAbArchive::TAbArchive(std::iostream* aStream, const std::u16string& aArchiveName) {
    initialise();
    FArchiveName = aArchiveName;
    FStream = aStream;
}

TAbArchive::~TAbArchive() {
    FItemList.reset();
    if (FOwnsStream) delete FStream;
    FStream = nullptr;
    FLogStream.reset();
}

void TAbArchive::initialise() {
    FIsDirty = false;
    FAutoSave = false;
    FItemList = std::make_unique<TAbArchiveList>(true);
    FStoreOptions = {};
    FExtractOptions = {};
    FStatus = asIdle;
    FOnProgress = [this](uint8_t Progress, bool& Abort) { ReportProgress(Progress, Abort); };
    const std::u16string program = platform::programFilePath();
    try {
        SetBaseDirectory(DirectoryPart(program, NativePathStyle));
    } catch (const EAbNoSuchDirectory&) {
        FBaseDirectory.clear();
    }
}

void TAbArchive::SetBaseDirectory(const std::u16string& value) {
    std::u16string trimmed = trimBaseDirectory(value);
    if (!trimmed.empty() && !DirectoryExists(trimmed)) throw EAbNoSuchDirectory();
    FBaseDirectory = std::move(trimmed);
}

void TAbArchive::SetLogging(bool value) {
    FLogging = value;
    FLogStream.reset();
    if (!value || FLogFile.empty()) return;
    try {
        auto stream = std::make_unique<std::ofstream>(
            toFsPath(FLogFile), std::ios::out | std::ios::trunc | std::ios::binary);
        if (!stream->is_open()) throw EFCreateError(FLogFile, errno);
        FLogStream = std::move(stream);
        writeLogLine(FArchiveName, u" logging ");
    } catch (...) {
        FLogStream.reset();
        throw EAbException(std::u16string(AbLogCreateErrorS));
    }
}

void TAbArchive::WriteLogEntry(const std::u16string& Text, TAbProcessType ProcessType) {
    writeLogLine(Text, logWord(ProcessType));
}

void TAbArchive::writeLogLine(const std::u16string& Text, std::u16string_view word) {
    if (!FLogStream) return;
    std::u16string line = Text;
    line += word;
    line += shortDateLongTimeText(localNow());
    line += u"\r\n";
    std::string bytes;
    bytes.reserve(line.size() * 2);
    for (const char16_t unit : line) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    FLogStream->write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    FLogStream->flush();
}

void TAbArchive::Load() {
    try {
        ReadDirectory();
        FStatus = asIdle;
    } catch (...) {
        forgetCurrentItemIfGone();
        NotifyLoad();
        throw;
    }
    forgetCurrentItemIfGone();
    NotifyLoad();
}

void TAbArchive::forgetCurrentItemIfGone() {
    // Reading or writing the archive may free items; the current item must not dangle.
    if (FCurrentItem == nullptr) return;
    const auto& items = *FItemList;
    if (std::find(items.begin(), items.end(), FCurrentItem) == items.end()) FCurrentItem = nullptr;
}

void TAbArchive::Save() {
    if (FStatus == asInvalid) return;
    if (!FIsDirty && Count() > 0) return;
    bool confirm = true;
    ConfirmSave(confirm);
    if (!confirm) return;
    try {
        WriteArchive();
    } catch (...) {
        forgetCurrentItemIfGone();
        throw;
    }
    forgetCurrentItemIfGone();
    FIsDirty = false;
    NotifySave();
}

void TAbArchive::EnsureValid() const {
    if (FStatus == asInvalid) throw EAbNoArchive();
}

void TAbArchive::SaveIfPending(const TAbArchiveItem* Item) {
    if (Item->Action() != aaNone) Save();
}

void TAbArchive::TagItems(std::u16string_view FileMask) {
    for (TAbArchiveItem* item : *FItemList) {
        if (item->MatchesStoredNameEx(FileMask)) item->SetTagged(true);
    }
}

void TAbArchive::UnTagItems(std::u16string_view FileMask) {
    for (TAbArchiveItem* item : *FItemList) {
        if (item->MatchesStoredNameEx(FileMask)) item->SetTagged(false);
    }
}

void TAbArchive::ClearTags() {
    for (TAbArchiveItem* item : *FItemList) item->SetTagged(false);
}

int32_t TAbArchive::FindFile(std::u16string_view aFileName) const {
    return FItemList->Find(aFileName);
}

int32_t TAbArchive::FindItem(const TAbArchiveItem* aItem) const {
    return FItemList->Find(aItem->FileName());
}

template <typename Select, typename Act>
void TAbArchive::walkItemsWithProgress(Select select, Act act) {
    const int32_t total = Count();
    // A save on the way may drop items, so the index is checked against the live count.
    for (int32_t index = 0; index < total && index < Count(); ++index) {
        if (select(FItemList->Get(index))) act(index);
        bool abort = false;
        ReportArchiveProgress(Percentage(index + 1, Count()), abort);
        if (abort) throw EAbUserAbort();
    }
    if (total == 0) return;
    bool ignored = false;
    ReportArchiveProgress(100, ignored);
}

void TAbArchive::ExtractFiles(std::u16string_view FileMask) {
    ExtractFilesEx(FileMask, u"");
}

void TAbArchive::ExtractFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask) {
    EnsureValid();
    const auto selected = [&](const TAbArchiveItem* item) {
        return item->MatchesStoredNameEx(FileMask) && !item->MatchesStoredNameEx(ExclusionMask) &&
               (FExtractOptions.Contains(eoCreateDirs) || !item->IsDirectory());
    };
    ensureRoomFor(*FItemList, FBaseDirectory, selected);
    walkItemsWithProgress(selected, [this](int32_t index) { ExtractAt(index, std::u16string()); });
}

void TAbArchive::ExtractTaggedItems() {
    EnsureValid();
    const auto selected = [](const TAbArchiveItem* item) { return item->Tagged(); };
    ensureRoomFor(*FItemList, FBaseDirectory, selected);
    walkItemsWithProgress(selected, [this](int32_t index) { ExtractAt(index, std::u16string()); });
}

void TAbArchive::TestTaggedItems() {
    EnsureValid();
    walkItemsWithProgress([](const TAbArchiveItem* item) { return item->Tagged(); },
                          [this](int32_t index) {
                              FCurrentItem = FItemList->Get(index);
                              VerifyItem(index);
                          });
}

void TAbArchive::reportCaughtFailure(TAbArchiveItem* Item, TAbProcessType ProcessType) {
    const TAbErrorClassification failure = ConvertException(std::current_exception());
    ReportItemFailure(Item, ProcessType, failure.ErrorClass, failure.ErrorCode);
}

void TAbArchive::ExtractAt(int32_t Index, const std::u16string& NewName) {
    EnsureValid();
    SaveIfPending(FItemList->Get(Index));
    TAbArchiveItem* item = FItemList->Get(Index);
    bool confirm = true;
    ConfirmProcessItem(item, ptExtract, confirm);
    if (!confirm) return;
    std::u16string name;
    try {
        if (!ResolveOutputName(item, NewName, name)) return;
    } catch (const EAbUnsafeStoredName&) {
        // A stored name this platform cannot or must not write refuses its own member, not
        // the whole extraction; the others do not depend on it.
        reportCaughtFailure(item, ptExtract);
        return;
    } catch (const EAbLinkInStoredPath&) {
        reportCaughtFailure(item, ptExtract);
        return;
    } catch (const EInvalidNameChars&) {
        reportCaughtFailure(item, ptExtract);
        return;
    }
    FCurrentItem = item;
    try {
        ExtractItemToFile(Index, name);
    } catch (...) {
        reportCaughtFailure(item, ptExtract);
    }
}

void TAbArchive::Extract(const TAbArchiveItem* aItem, const std::u16string& NewName) {
    EnsureValid();
    const int32_t index = FindItem(aItem);
    if (index >= 0) ExtractAt(index, NewName);
}

void TAbArchive::ExtractToStream(std::u16string_view aFileName, std::ostream& aStream) {
    EnsureValid();
    const int32_t index = FindFile(aFileName);
    if (index < 0) return;
    SaveIfPending(FItemList->Get(index));
    TAbArchiveItem* item = FItemList->Get(index);
    bool confirm = true;
    ConfirmProcessItem(item, ptExtract, confirm);
    if (!confirm) return;
    FCurrentItem = item;
    try {
        ExtractItemToStream(index, aStream);
    } catch (...) {
        reportCaughtFailure(item, ptExtract);
    }
}

bool TAbArchive::ResolveOutputName(const TAbArchiveItem* Item, const std::u16string& UseName,
                                   std::u16string& Name) {
    Name.clear();
    const bool keepFolders = FExtractOptions.Contains(eoRestorePath);
    if (Item->IsDirectory() && !(FExtractOptions.Contains(eoCreateDirs) && keepFolders)) {
        return false;
    }
    if (UseName.empty()) {
        Name = outputPathForStoredName(Item->FileName(), Item->IsDirectory(), keepFolders,
                                       FBaseDirectory);
    } else {
        Name = UseName;
        if (ClassifyPath(Name) != pkFullPath) Name = JoinPath(FBaseDirectory, Name);
    }
    const std::u16string folder = FolderOf(Name);
    if (!folder.empty() && !DirectoryExists(folder)) {
        if (!FExtractOptions.Contains(eoCreateDirs)) throw EAbNoSuchDirectory();
        CreateDirectoryChain(folder);
    }
    bool result = true;
    if (!Item->IsDirectory() && FileExists(Name)) ConfirmOverwrite(Name, result);
    return result;
}

void TAbArchive::ReportItemFailure(TAbArchiveItem* Item, TAbProcessType ProcessType,
                                   TAbErrorClass ErrorClass, int32_t ErrorCode) {
    if (FOnProcessItemFailure)
        FOnProcessItemFailure(*this, Item, ProcessType, ErrorClass, ErrorCode);
}

void TAbArchive::ReportSaveProgress(uint8_t Progress, bool& Abort) {
    Abort = false;
    if (FOnArchiveSaveProgress) FOnArchiveSaveProgress(*this, Progress, Abort);
}

void TAbArchive::ReportArchiveProgress(uint8_t Progress, bool& Abort) {
    Abort = false;
    if (FOnArchiveProgress) FOnArchiveProgress(*this, Progress, Abort);
}

void TAbArchive::ReportItemProgress(TAbArchiveItem* Item, uint8_t Progress, bool& Abort) {
    Abort = false;
    if (FOnArchiveItemProgress) FOnArchiveItemProgress(*this, Item, Progress, Abort);
}

void TAbArchive::ConfirmOverwrite(std::u16string& Name, bool& Confirm) {
    Confirm = true;
    if (FOnConfirmOverwrite) FOnConfirmOverwrite(Name, Confirm);
}

void TAbArchive::ConfirmProcessItem(TAbArchiveItem* Item, TAbProcessType ProcessType,
                                    bool& Confirm) {
    Confirm = true;
    if (FOnConfirmProcessItem) FOnConfirmProcessItem(*this, Item, ProcessType, Confirm);
    if (Confirm && FLogging) WriteLogEntry(Item->FileName(), ProcessType);
}

void TAbArchive::ConfirmSave(bool& Confirm) {
    Confirm = true;
    if (FOnConfirmSave) FOnConfirmSave(*this, Confirm);
}

void TAbArchive::NotifyLoad() {
    if (FOnLoad) FOnLoad(*this);
}

void TAbArchive::NotifySave() {
    if (FOnSave) FOnSave(*this);
}

void TAbArchive::ReportProgress(uint8_t Progress, bool& Abort) {
    Abort = false;
    ReportItemProgress(FCurrentItem, Progress, Abort);
}

void TAbArchive::DoDeflateProgress(int32_t aPercentDone) {
    bool abort = false;
    ReportProgress(static_cast<uint8_t>(aPercentDone & 0xFF), abort);
    if (abort) throw EAbAbortProgress();
}

void TAbArchive::DoInflateProgress(int32_t aPercentDone) {
    bool abort = false;
    ReportProgress(static_cast<uint8_t>(aPercentDone & 0xFF), abort);
    if (abort) throw EAbAbortProgress();
}

void TAbArchive::DoSpanningMediaRequest(TAbArchive& /*Sender*/, int32_t /*ImageNumber*/,
                                        std::u16string& /*ImageName*/, bool& /*Abort*/) {
    throw EAbSpanningNotSupported();
}
