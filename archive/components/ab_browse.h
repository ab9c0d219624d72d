// The browser component base: a non-visual component that owns at most one open archive,
// named by a file name, copies its settings into every archive it creates, and raises the
// archive's events again as its own. Also archive type detection.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "archive/cab/ab_archive_type.h"
#include "archive/components/ab_component.h"
#include "archive/core/ab_archive.h"

// The archive format a file holds: the asserted type, or the extension's hint when none is
// asserted, confirmed by the check that belongs to it; without any hint, every check in turn.
// A file that is missing or empty gets the hint unchecked. Raises the stream layer's
// "Cannot open file" error for a file that exists but cannot be read, EAbNoCabinetDll when
// the cabinet check needs the library and it cannot be loaded, and EAbDecompressionError for
// damaged data behind a gzip or bzip2 header.
TAbArchiveType DetectArchiveType(const std::u16string& FileName, TAbArchiveType AssertedType);

// The hint of a file name's extension (".ZIP", ".CAB", ...; any letter case).
TAbArchiveType ArchiveTypeOfExtension(const std::u16string& FileName);

// The root of the archive components.
class TAbBaseComponent : public TComponent {
public:
    using TComponent::TComponent;
    // Always "5.0"; writing it changes nothing.
    std::u16string Version() const { return u"5.0"; }
    void SetVersion(const std::u16string&) {}
};

// A progress display that a browser drives.
class IAbProgressMeter {
public:
    virtual ~IAbProgressMeter() = default;
    virtual void ShowProgress(uint8_t Progress) = 0;
    virtual void ResetProgress() = 0;
};

// A browser's events: the archive's events raised again with the browser as Sender.
using TAbNotifyEvent = std::function<void(TComponent& Sender)>;
using TAbBrowserEvent = std::function<void(TComponent& Sender)>;
using TAbBrowserProgressEvent =
    std::function<void(TComponent& Sender, uint8_t Progress, bool& Abort)>;
using TAbBrowserItemProgressEvent =
    std::function<void(TComponent& Sender, TAbArchiveItem* Item, uint8_t Progress, bool& Abort)>;
using TAbBrowserItemConfirmEvent = std::function<void(TComponent& Sender, TAbArchiveItem* Item,
                                                      TAbProcessType ProcessType, bool& Confirm)>;
using TAbBrowserItemFailureEvent =
    std::function<void(TComponent& Sender, TAbArchiveItem* Item, TAbProcessType ProcessType,
                       TAbErrorClass ErrorClass, int32_t ErrorCode)>;

// The format-neutral browser. A descendant turns a file name into an archive in
// WriteFileName and calls PrepareArchive for every archive it creates, before loading it.
class TAbBaseBrowser : public TAbBaseComponent {
public:
    explicit TAbBaseBrowser(TComponent* AOwner);
    ~TAbBaseBrowser() override;

    // The open archive, or null.
    TAbArchive* Archive() const { return FArchive.get(); }

    int32_t Count() const { return FArchive ? FArchive->Count() : 0; }
    TAbArchiveStatus Status() const { return FArchive ? FArchive->Status() : asInvalid; }
    TAbArchiveType ArchiveType() const { return FArchiveType; }
    // Raises EAbArchiveBusy while the open archive is busy.
    void SetArchiveType(TAbArchiveType Value);
    bool ForceType() const { return FForceType; }
    void SetForceType(bool Value) { FForceType = Value; }
    // The item at Index; EAbNoArchive without an archive.
    TAbArchiveItem* Items(int32_t Index) const { return GetItem(Index); }
    TAbArchiveItem* GetItem(int32_t Value) const;

    IAbProgressMeter* ArchiveProgressMeter() const { return FArchiveProgressMeter; }
    void SetArchiveProgressMeter(IAbProgressMeter* Value);
    IAbProgressMeter* ItemProgressMeter() const { return FItemProgressMeter; }
    void SetItemProgressMeter(IAbProgressMeter* Value);
    const std::u16string& BaseDirectory() const { return FBaseDirectory; }
    // With an archive open the archive checks and normalises the value (EAbNoSuchDirectory
    // for a missing folder) and the browser keeps its result; without one it is stored as is.
    void SetBaseDirectory(const std::u16string& Value);
    const std::u16string& TempDirectory() const { return FTempDirectory; }
    void SetTempDirectory(const std::u16string& Value);
    const std::u16string& FileName() const { return FFileName; }
    void SetFileName(const std::u16string& Value) { WriteFileName(Value); }

    const TAbNotifyEvent& OnChange() const { return FOnChange; }
    void SetOnChange(TAbNotifyEvent Value) { FOnChange = std::move(Value); }
    const TAbBrowserEvent& OnLoad() const { return FOnLoad; }
    void SetOnLoad(TAbBrowserEvent Value) { FOnLoad = std::move(Value); }
    const TAbBrowserProgressEvent& OnArchiveProgress() const { return FOnArchiveProgress; }
    void SetOnArchiveProgress(TAbBrowserProgressEvent Value) {
        FOnArchiveProgress = std::move(Value);
    }
    const TAbBrowserItemProgressEvent& OnArchiveItemProgress() const {
        return FOnArchiveItemProgress;
    }
    void SetOnArchiveItemProgress(TAbBrowserItemProgressEvent Value) {
        FOnArchiveItemProgress = std::move(Value);
    }
    const TAbBrowserItemConfirmEvent& OnConfirmProcessItem() const { return FOnConfirmProcessItem; }
    void SetOnConfirmProcessItem(TAbBrowserItemConfirmEvent Value) {
        FOnConfirmProcessItem = std::move(Value);
    }
    const TAbBrowserItemFailureEvent& OnProcessItemFailure() const { return FOnProcessItemFailure; }
    void SetOnProcessItemFailure(TAbBrowserItemFailureEvent Value) {
        FOnProcessItemFailure = std::move(Value);
    }
    const TAbRequestImageEvent& OnRequestImage() const { return FOnRequestImage; }
    void SetOnRequestImage(TAbRequestImageEvent Value) { WriteOnRequestImage(std::move(Value)); }

    void OpenArchive(const std::u16string& aFileName) { WriteFileName(aFileName); }
    // Writes an empty FileName, unless it is empty already.
    void CloseArchive();
    // Without an archive these raise EAbNoArchive.
    void ClearTags();
    void TagItems(const std::u16string& FileMask);
    void UnTagItems(const std::u16string& FileMask);
    // -1 without an archive.
    int32_t FindItem(const TAbArchiveItem* aItem) const;
    int32_t FindFile(const std::u16string& aFileName) const;

    void Notification(TComponent* AComponent, TOperation Operation) override;

protected:
    void Loaded() override;

    virtual void ResetProgressMeters();
    virtual void HandleArchiveItemProgress(TAbArchive& Sender, TAbArchiveItem* Item,
                                           uint8_t Progress, bool& Abort);
    virtual void HandleArchiveProgress(TAbArchive& Sender, uint8_t Progress, bool& Abort);
    virtual void NotifyChange();
    virtual void HandleConfirmProcessItem(TAbArchive& Sender, TAbArchiveItem* Item,
                                          TAbProcessType ProcessType, bool& Confirm);
    virtual void HandleLoad(TAbArchive& Sender);
    virtual void HandleProcessItemFailure(TAbArchive& Sender, TAbArchiveItem* Item,
                                          TAbProcessType ProcessType, TAbErrorClass ErrorClass,
                                          int32_t ErrorCode);
    virtual void WriteOnRequestImage(TAbRequestImageEvent Value);
    virtual void PrepareArchive();
    virtual void WriteFileName(const std::u16string& Value) = 0;

    std::unique_ptr<TAbArchive> FArchive;
    int32_t FSpanningThreshold = 0;
    IAbProgressMeter* FItemProgressMeter = nullptr;
    IAbProgressMeter* FArchiveProgressMeter = nullptr;
    std::u16string FBaseDirectory;
    std::u16string FFileName;
    std::u16string FLogFile;
    bool FLogging = false;
    TAbBrowserProgressEvent FOnArchiveProgress;
    TAbBrowserItemProgressEvent FOnArchiveItemProgress;
    TAbNotifyEvent FOnChange;
    TAbBrowserItemConfirmEvent FOnConfirmProcessItem;
    TAbBrowserEvent FOnLoad;
    TAbBrowserItemFailureEvent FOnProcessItemFailure;
    TAbRequestImageEvent FOnRequestImage;
    std::u16string FTempDirectory;
    TAbArchiveType FArchiveType = TAbArchiveType::atUnknown;
    bool FForceType = false;

private:
    // The component behind each meter, kept while the meter is alive so that its removal is
    // recognised without looking into an object being destroyed.
    TComponent* FItemMeterComponent = nullptr;
    TComponent* FArchiveMeterComponent = nullptr;
    void changeMeter(IAbProgressMeter*& meter, TComponent*& owner, IAbProgressMeter* value);
};
