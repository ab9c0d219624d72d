#include "archive/components/ab_browse.h"

#include "archive/core/ab_exceptions.h"

TAbBaseBrowser::TAbBaseBrowser(TComponent* AOwner) : TAbBaseComponent(AOwner) {}

TAbBaseBrowser::~TAbBaseBrowser() {
    // The archive stays hooked while it is freed: what it reports then (a cabinet reports
    // progress 0) still reaches this browser's events.
    try {
        FArchive.reset();
    } catch (...) {
        // A handler that raises while the component is destroyed cannot be heard.
    }
}

void TAbBaseBrowser::SetArchiveType(TAbArchiveType Value) {
    if (FArchive && FArchive->Status() == asBusy) throw EAbArchiveBusy();
    FArchiveType = Value;
}

TAbArchiveItem* TAbBaseBrowser::GetItem(int32_t Value) const {
    if (!FArchive) throw EAbNoArchive();
    return FArchive->ItemList().Get(Value);
}

void TAbBaseBrowser::changeMeter(IAbProgressMeter*& meter, TComponent*& owner,
                                 IAbProgressMeter* value) {
    if (owner) RemoveFreeNotification(owner);
    meter = value;
    owner = dynamic_cast<TComponent*>(value);
    if (owner) owner->FreeNotification(this);
}

void TAbBaseBrowser::SetArchiveProgressMeter(IAbProgressMeter* Value) {
    changeMeter(FArchiveProgressMeter, FArchiveMeterComponent, Value);
}

void TAbBaseBrowser::SetItemProgressMeter(IAbProgressMeter* Value) {
    changeMeter(FItemProgressMeter, FItemMeterComponent, Value);
}

void TAbBaseBrowser::SetBaseDirectory(const std::u16string& Value) {
    if (!FArchive) {
        FBaseDirectory = Value;
        return;
    }
    FArchive->SetBaseDirectory(Value);
    FBaseDirectory = FArchive->BaseDirectory();
}

void TAbBaseBrowser::SetTempDirectory(const std::u16string& Value) {
    FTempDirectory = Value;
    if (FArchive) FArchive->SetTempDirectory(Value);
}

void TAbBaseBrowser::WriteOnRequestImage(TAbRequestImageEvent Value) {
    FOnRequestImage = std::move(Value);
    if (FArchive) FArchive->SetOnRequestImage(FOnRequestImage);
}

void TAbBaseBrowser::CloseArchive() {
    if (!FFileName.empty()) WriteFileName(u"");
}

void TAbBaseBrowser::ClearTags() {
    if (!FArchive) throw EAbNoArchive();
    FArchive->ClearTags();
}

void TAbBaseBrowser::TagItems(const std::u16string& FileMask) {
    if (!FArchive) throw EAbNoArchive();
    FArchive->TagItems(FileMask);
}

void TAbBaseBrowser::UnTagItems(const std::u16string& FileMask) {
    if (!FArchive) throw EAbNoArchive();
    FArchive->UnTagItems(FileMask);
}

int32_t TAbBaseBrowser::FindItem(const TAbArchiveItem* aItem) const {
    return FArchive ? FArchive->FindItem(aItem) : -1;
}

int32_t TAbBaseBrowser::FindFile(const std::u16string& aFileName) const {
    return FArchive ? FArchive->FindFile(aFileName) : -1;
}

void TAbBaseBrowser::Loaded() {
    TAbBaseComponent::Loaded();
    NotifyChange();
}

void TAbBaseBrowser::Notification(TComponent* AComponent, TOperation Operation) {
    TAbBaseComponent::Notification(AComponent, Operation);
    if (Operation != TOperation::opRemove || !AComponent) return;
    if (FItemProgressMeter && AComponent == FItemMeterComponent) SetItemProgressMeter(nullptr);
    if (FArchiveProgressMeter && AComponent == FArchiveMeterComponent)
        SetArchiveProgressMeter(nullptr);
}

void TAbBaseBrowser::ResetProgressMeters() {
    if (FArchiveProgressMeter) FArchiveProgressMeter->ResetProgress();
    if (FItemProgressMeter) FItemProgressMeter->ResetProgress();
}

void TAbBaseBrowser::HandleArchiveItemProgress(TAbArchive&, TAbArchiveItem* Item, uint8_t Progress,
                                               bool& Abort) {
    Abort = false;
    if (FItemProgressMeter) FItemProgressMeter->ShowProgress(Progress);
    if (FOnArchiveItemProgress) FOnArchiveItemProgress(*this, Item, Progress, Abort);
}

void TAbBaseBrowser::HandleArchiveProgress(TAbArchive&, uint8_t Progress, bool& Abort) {
    Abort = false;
    if (FArchiveProgressMeter) FArchiveProgressMeter->ShowProgress(Progress);
    if (FOnArchiveProgress) FOnArchiveProgress(*this, Progress, Abort);
}

void TAbBaseBrowser::NotifyChange() {
    if (FOnChange) FOnChange(*this);
}

void TAbBaseBrowser::HandleConfirmProcessItem(TAbArchive&, TAbArchiveItem* Item,
                                              TAbProcessType ProcessType, bool& Confirm) {
    Confirm = true;
    if (FItemProgressMeter) FItemProgressMeter->ResetProgress();
    if (FOnConfirmProcessItem) FOnConfirmProcessItem(*this, Item, ProcessType, Confirm);
}

void TAbBaseBrowser::HandleLoad(TAbArchive&) {
    if (FOnLoad) FOnLoad(*this);
}

void TAbBaseBrowser::HandleProcessItemFailure(TAbArchive&, TAbArchiveItem* Item,
                                              TAbProcessType ProcessType, TAbErrorClass ErrorClass,
                                              int32_t ErrorCode) {
    if (FOnProcessItemFailure)
        FOnProcessItemFailure(*this, Item, ProcessType, ErrorClass, ErrorCode);
}

void TAbBaseBrowser::PrepareArchive() {
    ResetProgressMeters();
    if (!FArchive) return;
    TAbArchive& archive = *FArchive;
    archive.SetSpanningThreshold(static_cast<int64_t>(FSpanningThreshold));
    archive.SetLogFile(FLogFile);
    archive.SetLogging(FLogging);
    archive.SetTempDirectory(FTempDirectory);
    SetBaseDirectory(FBaseDirectory);
    // The hooks call the virtual handlers, so a descendant's overrides apply.
    archive.SetOnArchiveProgress(
        [this](TAbArchive& s, uint8_t p, bool& a) { HandleArchiveProgress(s, p, a); });
    archive.SetOnArchiveItemProgress([this](TAbArchive& s, TAbArchiveItem* i, uint8_t p, bool& a) {
        HandleArchiveItemProgress(s, i, p, a);
    });
    archive.SetOnConfirmProcessItem([this](TAbArchive& s, TAbArchiveItem* i, TAbProcessType t,
                                           bool& c) { HandleConfirmProcessItem(s, i, t, c); });
    archive.SetOnLoad([this](TAbArchive& s) { HandleLoad(s); });
    archive.SetOnProcessItemFailure([this](TAbArchive& s, TAbArchiveItem* i, TAbProcessType t,
                                           TAbErrorClass c,
                                           int32_t e) { HandleProcessItemFailure(s, i, t, c, e); });
    archive.SetOnRequestImage(FOnRequestImage);
}
