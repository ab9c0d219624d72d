// TAbArchive, the abstract archive: it owns the archive's stream and item list, holds the
// options, status, base directory and event handlers, and implements every bulk operation
// once for all formats. A format derives from it and supplies NewItem, ExtractItemToFile,
// ExtractItemToStream, ReadDirectory, WriteArchive and VerifyItem.
//
// One archive is used by one thread at a time; every event is raised synchronously on the
// calling thread before the operation returns.
#pragma once

#include <cstdint>
#include <fstream>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "archive/core/ab_archive_item.h"
#include "archive/core/ab_archive_types.h"

class TAbArchive {
public:
    virtual ~TAbArchive();
    TAbArchive(const TAbArchive&) = delete;
    TAbArchive& operator=(const TAbArchive&) = delete;

    // The archive's data stream, and its status.
    std::iostream* FStream = nullptr;
    TAbArchiveStatus FStatus = asIdle;

    // Properties.
    const std::u16string& ArchiveName() const { return FArchiveName; }
    bool AutoSave() const { return FAutoSave; }
    void SetAutoSave(bool value) { FAutoSave = value; }
    const std::u16string& BaseDirectory() const { return FBaseDirectory; }
    // Drops one trailing separator (not the one of a root); raises EAbNoSuchDirectory for a
    // folder that does not exist and keeps the old value. An empty value is accepted.
    void SetBaseDirectory(const std::u16string& value);
    int32_t Count() const { return FItemList ? FItemList->Count() : 0; }
    TAbArchiveItem* CurrentItem() const { return FCurrentItem; }
    bool DOSMode() const { return FDOSMode; }
    void SetDOSMode(bool value) { FDOSMode = value; }
    TAbExtractOptions ExtractOptions() const { return FExtractOptions; }
    void SetExtractOptions(TAbExtractOptions value) { FExtractOptions = value; }
    bool IsDirty() const { return FIsDirty; }
    void SetIsDirty(bool value) { FIsDirty = value; }
    TAbArchiveList& ItemList() { return *FItemList; }
    const TAbArchiveList& ItemList() const { return *FItemList; }
    const std::u16string& LogFile() const { return FLogFile; }
    void SetLogFile(const std::u16string& value) { FLogFile = value; }
    bool Logging() const { return FLogging; }
    // Opens (truncating) or closes the log file; a log file that cannot be created raises
    // EAbException "Error creating Log File", and Logging then reads true with no log open.
    void SetLogging(bool value);
    uint16_t Mode() const { return FMode; }
    bool Spanned() const { return FSpanned; }
    int64_t SpanningThreshold() const { return ReadSpanningThreshold(); }
    void SetSpanningThreshold(int64_t value) { WriteSpanningThreshold(value); }
    TAbArchiveStatus Status() const { return FStatus; }
    TAbStoreOptions StoreOptions() const { return FStoreOptions; }
    void SetStoreOptions(TAbStoreOptions value) { FStoreOptions = value; }
    bool SupportsEmptyFolders() const { return ReadSupportsEmptyFolders(); }
    const std::u16string& TempDirectory() const { return FTempDir; }
    void SetTempDirectory(const std::u16string& value) { FTempDir = value; }

    // Events.
    const TAbArchiveItemFailureEvent& OnProcessItemFailure() const { return FOnProcessItemFailure; }
    void SetOnProcessItemFailure(TAbArchiveItemFailureEvent value) {
        FOnProcessItemFailure = std::move(value);
    }
    const TAbArchiveProgressEvent& OnArchiveProgress() const { return FOnArchiveProgress; }
    void SetOnArchiveProgress(TAbArchiveProgressEvent value) {
        FOnArchiveProgress = std::move(value);
    }
    const TAbArchiveProgressEvent& OnArchiveSaveProgress() const { return FOnArchiveSaveProgress; }
    void SetOnArchiveSaveProgress(TAbArchiveProgressEvent value) {
        FOnArchiveSaveProgress = std::move(value);
    }
    const TAbArchiveItemProgressEvent& OnArchiveItemProgress() const {
        return FOnArchiveItemProgress;
    }
    void SetOnArchiveItemProgress(TAbArchiveItemProgressEvent value) {
        FOnArchiveItemProgress = std::move(value);
    }
    const TAbArchiveItemConfirmEvent& OnConfirmProcessItem() const { return FOnConfirmProcessItem; }
    void SetOnConfirmProcessItem(TAbArchiveItemConfirmEvent value) {
        FOnConfirmProcessItem = std::move(value);
    }
    const TAbConfirmOverwriteEvent& OnConfirmOverwrite() const { return FOnConfirmOverwrite; }
    void SetOnConfirmOverwrite(TAbConfirmOverwriteEvent value) {
        FOnConfirmOverwrite = std::move(value);
    }
    const TAbArchiveConfirmEvent& OnConfirmSave() const { return FOnConfirmSave; }
    void SetOnConfirmSave(TAbArchiveConfirmEvent value) { FOnConfirmSave = std::move(value); }
    const TAbArchiveEvent& OnLoad() const { return FOnLoad; }
    void SetOnLoad(TAbArchiveEvent value) { FOnLoad = std::move(value); }
    // Set by construction to this archive's own ReportProgress, so that a format engine that
    // reports through OnProgress reaches OnArchiveItemProgress for the current item.
    const TAbProgressEvent& OnProgress() const { return FOnProgress; }
    void SetOnProgress(TAbProgressEvent value) { FOnProgress = std::move(value); }
    const TAbRequestImageEvent& OnRequestImage() const { return FOnRequestImage; }
    void SetOnRequestImage(TAbRequestImageEvent value) { FOnRequestImage = std::move(value); }
    const TAbArchiveEvent& OnSave() const { return FOnSave; }
    void SetOnSave(TAbArchiveEvent value) { FOnSave = std::move(value); }

    // Life cycle.
    // Reads the member list; OnLoad follows whether reading succeeded or raised.
    virtual void Load();
    // Writes the archive when it is valid and dirty (or empty) and the save is confirmed.
    virtual void Save();

    // Tagging and lookup (none of them checks the status).
    void TagItems(std::u16string_view FileMask);
    void UnTagItems(std::u16string_view FileMask);
    void ClearTags();
    int32_t FindFile(std::u16string_view aFileName) const;
    // Looks the item up by its name, not by identity.
    int32_t FindItem(const TAbArchiveItem* aItem) const;

    // Extraction.
    void ExtractFiles(std::u16string_view FileMask);
    void ExtractFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask);
    void ExtractTaggedItems();
    // Extracts one item to NewName, or to the name resolved from its stored name when NewName
    // is empty. A failure of the format while writing it is reported, not raised.
    void ExtractAt(int32_t Index, const std::u16string& NewName);
    void Extract(const TAbArchiveItem* aItem, const std::u16string& NewName);
    void ExtractToStream(std::u16string_view aFileName, std::ostream& aStream);
    void TestTaggedItems();

    // Progress entry points for format engines.
    virtual void ReportProgress(uint8_t Progress, bool& Abort);
    // Both raise EAbAbortProgress when the progress handler answers Abort.
    virtual void DoDeflateProgress(int32_t aPercentDone);
    virtual void DoInflateProgress(int32_t aPercentDone);
    virtual void DoSpanningMediaRequest(TAbArchive& Sender, int32_t ImageNumber,
                                        std::u16string& ImageName, bool& Abort);

    // Writing operations: each asks for confirmation, marks the item with a pending Action
    // and marks the archive dirty; WriteArchive acts on the pending actions when saved.
    // Add takes the item over in every case.
    virtual void Add(std::unique_ptr<TAbArchiveItem> aItem);
    void AddFiles(std::u16string_view FileMask, int32_t SearchAttr);
    void AddFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask,
                    int32_t SearchAttr);
    void AddFromStream(const std::u16string& NewName, std::istream& aStream);
    void Delete(const TAbArchiveItem* aItem);
    void DeleteAt(int32_t Index);
    void DeleteFiles(std::u16string_view FileMask);
    void DeleteFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask);
    void DeleteTaggedItems();
    void Freshen(const TAbArchiveItem* aItem);
    void FreshenFiles(std::u16string_view FileMask);
    void FreshenFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask);
    void FreshenTaggedItems();
    void Replace(const TAbArchiveItem* aItem);
    virtual void Move(TAbArchiveItem* aItem, const std::u16string& NewStoredPath);
    // The stored name for a disk path, after the store options.
    virtual std::u16string NormalizeStoredName(const std::u16string& Value);

protected:
    // Only the common initialisation: for formats that reach their file themselves.
    TAbArchive();
    // Opens a file stream on FileName with the open mode Mode and owns it.
    TAbArchive(const std::u16string& FileName, uint16_t Mode);
    // Works on a stream the caller keeps.
    TAbArchive(std::iostream* aStream, const std::u16string& aArchiveName);

    // The format's part.
    virtual std::unique_ptr<TAbArchiveItem> NewItem(const std::u16string& FileSpec) = 0;
    // Writes item Index to UseName, a complete output path whose folder exists.
    virtual void ExtractItemToFile(int32_t Index, const std::u16string& UseName) = 0;
    virtual void ExtractItemToStream(int32_t Index, std::ostream& Stream) = 0;
    virtual void ReadDirectory() = 0;
    virtual void WriteArchive() = 0;
    virtual void VerifyItem(int32_t Index) = 0;

    // Event raisers.
    virtual void ReportItemFailure(TAbArchiveItem* Item, TAbProcessType ProcessType,
                                   TAbErrorClass ErrorClass, int32_t ErrorCode);
    virtual void ReportSaveProgress(uint8_t Progress, bool& Abort);
    virtual void ReportArchiveProgress(uint8_t Progress, bool& Abort);
    virtual void ReportItemProgress(TAbArchiveItem* Item, uint8_t Progress, bool& Abort);
    virtual void ConfirmOverwrite(std::u16string& Name, bool& Confirm);
    // Confirmed items are logged when logging is on.
    virtual void ConfirmProcessItem(TAbArchiveItem* Item, TAbProcessType ProcessType,
                                    bool& Confirm);
    virtual void ConfirmSave(bool& Confirm);
    virtual void NotifyLoad();
    virtual void NotifySave();
    virtual int64_t ReadSpanningThreshold() const { return FSpanningThreshold; }
    virtual bool ReadSupportsEmptyFolders() const { return false; }
    virtual void WriteSpanningThreshold(int64_t value) { FSpanningThreshold = value; }

    // Raises EAbNoArchive when the status is invalid.
    void EnsureValid() const;
    // Saves first when the item already carries a pending action.
    void SaveIfPending(const TAbArchiveItem* Item);
    // The output path of an item: UseName when given (trusted as it is), else its stored
    // name under BaseDirectory. Answers false to skip the item. Creates missing folders with
    // eoCreateDirs, else raises EAbNoSuchDirectory. A stored name that may not be written
    // there raises as outputPathForStoredName does (EAbUnsafeStoredName, EInvalidNameChars,
    // EAbLinkInStoredPath); each of these concerns the one item.
    bool ResolveOutputName(const TAbArchiveItem* Item, const std::u16string& UseName,
                           std::u16string& Name);
    void WriteLogEntry(const std::u16string& Text, TAbProcessType ProcessType);

    void FreshenItemAt(int32_t Index);
    void ReplaceItemAt(int32_t Index);
    void ResolveDiskFileName(TAbArchiveItem* Item);
    bool DiskFileChanged(const TAbArchiveItem* Item);

    std::u16string FArchiveName;
    bool FAutoSave = false;
    std::u16string FBaseDirectory;
    TAbArchiveItem* FCurrentItem = nullptr;
    bool FDOSMode = false;
    TAbExtractOptions FExtractOptions;
    uint16_t FImageNumber = 0;
    std::istream* FInStream = nullptr;
    bool FIsDirty = false;
    int64_t FSpanningThreshold = 0;
    std::unique_ptr<TAbArchiveList> FItemList;
    std::u16string FLogFile;
    bool FLogging = false;
    std::unique_ptr<std::ofstream> FLogStream;
    uint16_t FMode = 0;
    bool FOwnsStream = false;
    bool FSpanned = false;
    TAbStoreOptions FStoreOptions;
    std::u16string FTempDir;
    TAbArchiveItemFailureEvent FOnProcessItemFailure;
    TAbArchiveProgressEvent FOnArchiveProgress;
    TAbArchiveProgressEvent FOnArchiveSaveProgress;
    TAbArchiveItemProgressEvent FOnArchiveItemProgress;
    TAbArchiveItemConfirmEvent FOnConfirmProcessItem;
    TAbConfirmOverwriteEvent FOnConfirmOverwrite;
    TAbArchiveConfirmEvent FOnConfirmSave;
    TAbArchiveEvent FOnLoad;
    TAbProgressEvent FOnProgress;
    TAbRequestImageEvent FOnRequestImage;
    TAbArchiveEvent FOnSave;

private:
    void initialise();
    void writeLogLine(const std::u16string& Text, std::u16string_view word);
    // Walks every item in index order, acts on the selected ones and reports the share of
    // items looked at after each; Abort from the handler raises EAbUserAbort.
    template <typename Select, typename Act>
    void walkItemsWithProgress(Select select, Act act);
    // Walks the items from the last index down and acts on the selected ones.
    template <typename Select, typename Act>
    void walkItemsBackwards(Select select, Act act);
    void reportCaughtFailure(TAbArchiveItem* Item, TAbProcessType ProcessType);
    void forgetCurrentItemIfGone();
    void markDirty();
};
