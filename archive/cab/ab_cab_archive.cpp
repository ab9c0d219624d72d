#include "archive/cab/ab_cab_archive.h"

#include <algorithm>
#include <ostream>
#include <set>
#include <utility>

#include "archive/cab/ab_code_page.h"
#include "archive/cab/ab_fci_fdi.h"
#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_utils.h"

using namespace pelmora;

namespace {

constexpr uint16_t kNameIsUtf8 = CAB_ATTRIB_NAME_IS_UTF;

// Clears a per-pass field on every way out of the pass.
template <typename T>
struct ResetOnExit {
    T& field;
    T value;
    ~ResetOnExit() { field = std::move(value); }
};

// The caller's output stream as the library sees it: a stream it can only write to.
class OutputStreamWriter : public TStream {
public:
    explicit OutputStreamWriter(std::ostream& out) : FOut(out) {}
    int32_t Read(void*, int32_t) override { return -1; }
    int32_t Write(const void* buffer, int32_t count) override {
        if (count < 0) return -1;
        FOut.write(static_cast<const char*>(buffer), count);
        return FOut ? count : -1;
    }
    int64_t Seek(int64_t, TSeekOrigin) override { return -1; }

private:
    std::ostream& FOut;
};

// The next cabinet of a set cannot be read: the error names it and says why.
EAbCabException unusableNextCabinet(const std::string& narrowName, const std::u16string& reason) {
    return EAbCabException(u"The next cabinet \"" + codepage::narrowToUtf16(narrowName) +
                           u"\" cannot be used: " + reason);
}

}  // namespace

TAbCabArchive::TAbCabArchive(const std::u16string& FileName, uint16_t Mode) : TAbArchive() {
    // No stream is opened: the library opens the cabinet itself, by folder and name.
    FMode = (Mode & 0xFF00) == 0xFF00 ? 1 : (Mode & 1);
    FArchiveName = FileName;
    FCabName = codepage::utf16ToNarrow(NamePart(FileName, NativePathStyle));
    FCabPath = codepage::utf16ToNarrow(DirectoryPart(FileName, NativePathStyle));
    WriteSpanningThreshold(0);
    FFolderThreshold = 0;
    FItemInProgress = nullptr;
    FItemProgress = 0;
}

TAbCabArchive::~TAbCabArchive() {
    try {
        CloseCabinetContexts();
    } catch (...) {
        // A destructor cannot raise; a progress handler that raises here is not heard.
    }
}

void TAbCabArchive::CreateFromStream(std::iostream*, const std::u16string&) {
    throw EAbCabException(u"TAbCabArchive does not support CreateFromStream");
}

TAbCabItem* TAbCabArchive::GetItem(int32_t ItemIndex) const {
    return static_cast<TAbCabItem*>(ItemList().Get(ItemIndex));
}

void TAbCabArchive::PutItem(int32_t Index, TAbCabItem* Value) {
    ItemList().Put(Index, Value);
}

void TAbCabArchive::ReadDirectory() {
    if (FMode != 0) {
        CreateWriteContext();
        return;
    }
    FFDIContext = createDecompressionContext(FErrors);
    if (!FFDIContext) throw EAbFDICreateError();
    ScanCabinet();
}

void TAbCabArchive::ScanCabinet() {
    {
        TFileStream stream(FArchiveName, TFileOpenMode::ReadShareDenyNone);
        // The file listed now is the one every later pass must find under this name.
        FCabinetFiles.Check(cabinetFileName(FCabPath + FCabName), stream);
        bool isCabinet;
        try {
            isCabinet = pelmora::FDIIsCabinet(FFDIContext, handleOf(stream), &FFDICabInfo) != 0;
        } catch (...) {
            CloseCabinetContexts();
            throw;
        }
        if (!isCabinet) {
            CloseCabinetContexts();
            throw EAbInvalidCabFile();
        }
        FPlaces = readMemberPlaces(stream);
    }
    FCabSize = FFDICabInfo.cbCabinet;
    FFolderCount = FFDICabInfo.cFolders;
    FFileCount = FFDICabInfo.cFiles;
    FCurrentCab = FFDICabInfo.iCabinet;
    FHasPrev = FFDICabInfo.hasprev != 0;
    FHasNext = FFDICabInfo.hasnext != 0;

    bool listed;
    try {
        CabinetFilesScope scope(FCabinetFiles);
        listed = pelmora::FDICopy(FFDIContext, FCabName.data(), FCabPath.data(), 0, FdiListNotify,
                                  nullptr, this) != 0;
        if (listed) ListFollowingCabinets();
    } catch (...) {
        CloseCabinetContexts();
        throw;
    }
    if (!listed) {
        CloseCabinetContexts();
        throw EAbFDICopyError();
    }
    MatchPlacesToItems();
    bool abort = false;
    ReportArchiveProgress(100, abort);
}

void TAbCabArchive::ListFollowingCabinets() {
    std::set<std::u16string> seen{cabinetFileName(FCabPath + FCabName)};
    std::u16string next = FNextCabinet;
    while (!next.empty()) {
        FollowedCabinet cabinet;
        cabinet.name = codepage::utf16ToNarrow(next);
        cabinet.number = static_cast<uint16_t>(FCurrentCab + seen.size());
        // A set that leads back into itself is as broken as one that leads elsewhere.
        if (!seen.insert(cabinetFileName(FCabPath + cabinet.name)).second)
            throw unusableNextCabinet(cabinet.name, FdiErrorMessage(FDIERROR_WRONG_CABINET));
        FFollowing = &cabinet;
        ResetOnExit<FollowedCabinet*> stopFollowing{FFollowing, nullptr};
        FCabinetFiles.SetLastOpenFailure(u"");
        bool listed;
        try {
            listed = pelmora::FDICopy(FFDIContext, cabinet.name.data(), FCabPath.data(), 0,
                                      FdiListNotify, nullptr, this) != 0;
        } catch (const EAbCabinetChanged&) {
            throw;
        } catch (const EGeneralError& error) {
            throw unusableNextCabinet(cabinet.name, error.Message());
        }
        // A set that cannot be read to its end would lose the members of its later cabinets
        // without a word: the whole pack fails instead, naming the cabinet.
        if (cabinet.wrongCabinet)
            throw unusableNextCabinet(cabinet.name, FdiErrorMessage(FDIERROR_WRONG_CABINET));
        if (!listed) {
            std::u16string reason = FCabinetFiles.LastOpenFailure();
            throw unusableNextCabinet(cabinet.name,
                                      reason.empty() ? FdiErrorMessage(FErrors.ErrorCode) : reason);
        }
        for (auto& item : cabinet.items) ItemList().Add(item.release());
        next = cabinet.next;
    }
}

void TAbCabArchive::CloseCabinetContexts() {
    if (FFDIContext) {
        FDIContext context = std::exchange(FFDIContext, nullptr);
        pelmora::FDIDestroy(context);
    }
    if (FFCIContext) {
        FCIContext context = std::exchange(FFCIContext, nullptr);
        closeWriteContext(context);
    }
    bool abort = false;
    ReportArchiveProgress(0, abort);
}

CabHandle CABINET_CC TAbCabArchive::FdiListNotify(FDINotificationType type,
                                                  FDINotification* record) {
    return answerLibrary<CabHandle>(
        -1, [&] { return static_cast<TAbCabArchive*>(record->pv)->listNotify(type, *record); });
}

CabHandle TAbCabArchive::listNotify(FDINotificationType type, const FDINotification& record) {
    if (FFollowing) return listFollowingNotify(type, record);
    switch (type) {
        case fdintCABINET_INFO:
            FSetID = record.setID;
            FCurrentCab = record.iCabinet;
            FNextCabinet = codepage::narrowToUtf16(record.psz1 ? record.psz1 : "");
            FNextDisk = codepage::narrowToUtf16(record.psz2 ? record.psz2 : "");
            return 0;
        case fdintPARTIAL_FILE:
        case fdintCOPY_FILE:
            ItemList().Add(newItem(record, type == fdintPARTIAL_FILE).release());
            return 0;  // skip: listing decompresses nothing
        default:
            return 0;
    }
}

CabHandle TAbCabArchive::listFollowingNotify(FDINotificationType type,
                                             const FDINotification& record) {
    switch (type) {
        case fdintCABINET_INFO:
            if (record.setID != FSetID || record.iCabinet != FFollowing->number) {
                FFollowing->wrongCabinet = true;
                return -1;
            }
            FFollowing->next = codepage::narrowToUtf16(record.psz1 ? record.psz1 : "");
            return 0;
        case fdintCOPY_FILE: {
            // A member continued from the cabinet before is listed there already.
            auto item = newItem(record, false);
            item->SetCabinetName(FFollowing->name);
            FFollowing->items.push_back(std::move(item));
            return 0;
        }
        default:
            return 0;
    }
}

std::unique_ptr<TAbCabItem> TAbCabArchive::newItem(const FDINotification& record, bool partial) {
    auto item = std::make_unique<TAbCabItem>();
    std::string raw = record.psz1 ? record.psz1 : "";
    item->SetRawFileName(raw);
    item->SetFileName((record.attribs & kNameIsUtf8) ? codepage::utf8ToUtf16(raw)
                                                     : codepage::narrowToUtf16(raw));
    item->SetUncompressedSize(static_cast<int64_t>(record.cb));
    item->SetLastModFileDate(record.date);
    item->SetLastModFileTime(record.time);
    item->SetExternalFileAttributes(record.attribs);
    item->SetIsEncrypted(false);
    item->SetPartialFile(partial);
    return item;
}

void TAbCabArchive::ExtractItemToFile(int32_t Index, const std::u16string& UseName) {
    FItemInProgress = GetItem(Index);
    ResetOnExit<std::u16string> clearName{FIIPName, u""};
    FIIPName = UseName;
    ExtractItem(Index);
}

void TAbCabArchive::ExtractItemToStream(int32_t Index, std::ostream& Stream) {
    FItemInProgress = GetItem(Index);
    OutputStreamWriter writer(Stream);
    ResetOnExit<TStream*> clearStream{FItemStream, nullptr};
    FItemStream = &writer;
    ExtractItem(Index);
}

void TAbCabArchive::MatchPlacesToItems() {
    std::size_t count = FPlaces.size();
    bool matches = count <= static_cast<std::size_t>(Count());
    for (std::size_t i = 0; matches && i < count; ++i) {
        const TAbCabItem* item = GetItem(static_cast<int32_t>(i));
        matches = item->CabinetName().empty() && !item->PartialFile() &&
                  item->RawFileName() == FPlaces[i].RawName &&
                  static_cast<uint32_t>(item->UncompressedSize()) == FPlaces[i].Size;
    }
    if (!matches) FPlaces.clear();
}

void TAbCabArchive::ExtractItem(int32_t Index) {
    if (FSpool.Holds(Index)) {
        ServeFromSpool(Index);
        return;
    }
    SpoolMembersOnTheWayTo(Index);
    RunExtractionPass(Index);
}

void TAbCabArchive::ServeFromSpool(int32_t Index) {
    if (FIIPName.empty()) {
        FSpool.MoveTo(Index, *FItemStream);
        return;
    }
    PendingOutputFile output(FIIPName);
    FSpool.MoveTo(Index, output.Stream());
    output.Commit(FItemInProgress->LastModFileDate(), FItemInProgress->LastModFileTime(),
                  static_cast<uint16_t>(FItemInProgress->ExternalFileAttributes()));
}

void TAbCabArchive::SpoolMembersOnTheWayTo(int32_t Index) {
    // Beyond this much, members are decoded again rather than kept: the spool is bounded.
    constexpr int64_t kSpoolLimit = int64_t{1} << 30;
    if (!FFDIContext || static_cast<std::size_t>(Index) >= FPlaces.size()) return;
    const TMemberPlace& wanted = FPlaces[static_cast<std::size_t>(Index)];
    if (wanted.Folder >= kFirstContinuedFolder) return;
    // The pass continues where the library stands, or starts the folder again.
    bool continues = FDecodedFolder == wanted.Folder && wanted.Offset >= FDecodedTo;
    uint32_t from = continues ? FDecodedTo : 0;
    std::vector<int32_t> onTheWay;
    for (std::size_t j = static_cast<std::size_t>(Index) + 1; j < FPlaces.size(); ++j) {
        const TMemberPlace& place = FPlaces[j];
        auto index = static_cast<int32_t>(j);
        if (place.Folder == wanted.Folder && place.Offset >= from && place.Offset < wanted.Offset &&
            !FSpool.Holds(index) && !GetItem(index)->PartialFile())
            onTheWay.push_back(index);
    }
    std::sort(onTheWay.begin(), onTheWay.end(), [this](int32_t a, int32_t b) {
        return FPlaces[static_cast<std::size_t>(a)].Offset <
               FPlaces[static_cast<std::size_t>(b)].Offset;
    });
    for (int32_t index : onTheWay) {
        if (FSpool.KeptBytes() + FPlaces[static_cast<std::size_t>(index)].Size > kSpoolLimit)
            return;
        if (!SpoolMember(index)) return;
    }
}

bool TAbCabArchive::SpoolMember(int32_t Index) {
    ResetOnExit<int32_t> endSpooling{FSpoolIndex, -1};
    bool complete = false;
    try {
        FSpoolStream = &FSpool.Begin(Index);
        FSpoolIndex = Index;
        FSpoolComplete = false;
        FOffered = 0;
        CabinetFilesScope scope(FCabinetFiles);
        complete = pelmora::FDICopy(FFDIContext, FCabName.data(), FCabPath.data(), 0,
                                    FdiExtractNotify, nullptr, this) != 0 &&
                   FSpoolComplete;
    } catch (...) {
        // Keeping a member ahead of time only saves work: whatever went wrong is met again,
        // and reported, when the member's own pass runs.
        complete = false;
    }
    FSpool.End(complete);
    NoteDecodedUpTo(Index, complete);
    return complete;
}

void TAbCabArchive::NoteDecodedUpTo(int32_t Index, bool passed) {
    FDecodedFolder = -1;
    if (!passed || static_cast<std::size_t>(Index) >= FPlaces.size()) return;
    const TMemberPlace& place = FPlaces[static_cast<std::size_t>(Index)];
    if (place.Folder >= kFirstContinuedFolder) return;
    FDecodedFolder = place.Folder;
    FDecodedTo = place.Offset + place.Size;
}

void TAbCabArchive::RunExtractionPass(int32_t Index) {
    // A member the pass did not finish is never put in place: its temporary file goes.
    struct DiscardUnfinished {
        std::unique_ptr<PendingOutputFile>& output;
        ~DiscardUnfinished() { output.reset(); }
    } discard{FOutput};
    if (!FFDIContext) {
        // Opened for writing, or its directory could not be read: nothing to extract from.
        ReportItemFailure(FItemInProgress, ptExtract, ecCabError, FErrors.ErrorCode);
        return;
    }
    // A member that starts in a later cabinet of the set is read from there.
    std::string cabinet =
        FItemInProgress->CabinetName().empty() ? FCabName : FItemInProgress->CabinetName();
    CabinetFilesScope scope(FCabinetFiles);
    FCabinetFiles.SetLastOpenFailure(u"");
    FOffered = 0;
    FDecodedFolder = -1;  // unknown until the pass has ended well
    bool copied = pelmora::FDICopy(FFDIContext, cabinet.data(), FCabPath.data(), 0,
                                   FdiExtractNotify, nullptr, this) != 0;
    NoteDecodedUpTo(Index, copied);
    if (!copied) ReportItemFailure(FItemInProgress, ptExtract, ecCabError, FErrors.ErrorCode);
}

CabHandle CABINET_CC TAbCabArchive::FdiExtractNotify(FDINotificationType type,
                                                     FDINotification* record) {
    return answerLibrary<CabHandle>(
        -1, [&] { return static_cast<TAbCabArchive*>(record->pv)->extractNotify(type, *record); });
}

CabHandle TAbCabArchive::extractNotify(FDINotificationType type, const FDINotification& record) {
    switch (type) {
        case fdintPARTIAL_FILE:
            ++FOffered;
            return 0;
        case fdintCOPY_FILE: {
            int32_t offered = FOffered++;
            if (FSpoolIndex >= 0) {
                // Counted and named alike, or nothing is kept.
                bool wanted = offered == FSpoolIndex && record.psz1 &&
                              GetItem(FSpoolIndex)->RawFileName() == record.psz1;
                return wanted ? handleOf(*FSpoolStream) : 0;
            }
            if (!record.psz1 || FItemInProgress->RawFileName() != record.psz1) return 0;
            if (FIIPName.empty()) return handleOf(*FItemStream);
            // A second member of the same name replaces the first one's output.
            FOutput = std::make_unique<PendingOutputFile>(FIIPName);
            return handleOf(FOutput->Stream());
        }
        case fdintCLOSE_FILE_INFO:
            // Some FDI implementations announce the end of a member whose data failed half
            // way: only all of its bytes make it complete. Otherwise the copy is aborted, so
            // that the member is reported, and the partial output dropped.
            if (FSpoolIndex >= 0) {
                FSpoolComplete =
                    FSpool.CurrentSize() == FItemList->Get(FSpoolIndex)->UncompressedSize();
                return FSpoolComplete ? 1 : 0;
            }
            if (!FIIPName.empty() && FOutput) {
                if (FOutput->Stream().Size() != FItemInProgress->UncompressedSize()) {
                    FOutput.reset();
                    return 0;
                }
                FOutput->Commit(record.date, record.time, record.attribs);
                FOutput.reset();
            }
            return 1;
        case fdintNEXT_CABINET: {
            // The next cabinet is looked for beside this one; nobody is asked for another.
            if (record.fdie == FDIERROR_NONE) return 0;
            std::u16string reason = FCabinetFiles.LastOpenFailure();
            throw unusableNextCabinet(record.psz1 ? record.psz1 : "",
                                      reason.empty() ? FdiErrorMessage(record.fdie) : reason);
        }
        default:
            return 0;
    }
}
