#include "archive/components/ab_cab_browser.h"

#include "archive/core/ab_file_system.h"

TAbCustomCabBrowser::TAbCustomCabBrowser(TComponent* AOwner) : TAbBaseBrowser(AOwner) {
    SetArchiveType(TAbArchiveType::atCab);
}

TAbCabItem* TAbCustomCabBrowser::GetItem(int32_t Index) const {
    return CabArchive() ? CabArchive()->GetItem(Index) : nullptr;
}

void TAbCustomCabBrowser::SetSetID(uint16_t Value) {
    FSetID = Value;
    if (CabArchive()) CabArchive()->SetSetID(Value);
}

void TAbCustomCabBrowser::PrepareArchive() {
    TAbBaseBrowser::PrepareArchive();
    if (CabArchive()) CabArchive()->SetSetID(FSetID);
}

void TAbCustomCabBrowser::WriteFileName(const std::u16string& Value) {
    FFileName = Value;
    if (IsDesigning()) return;
    FArchive.reset();
    // Whatever the browser expects, a cabinet browser opens cabinets only.
    if (!Value.empty() && FileExists(Value) &&
        DetectArchiveType(Value, TAbArchiveType::atCab) == TAbArchiveType::atCab) {
        FArchive = std::make_unique<TAbCabArchive>(Value, 0);
        PrepareArchive();
        FArchive->Load();
    }
    NotifyChange();
}
