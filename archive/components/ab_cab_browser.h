// The browser of cabinet files: writing FileName opens the file as a cabinet archive when
// type detection confirms it is one, and the cabinet's own facts can be read.
#pragma once

#include "archive/cab/ab_cab_archive.h"
#include "archive/components/ab_browse.h"

class TAbCustomCabBrowser : public TAbBaseBrowser {
public:
    explicit TAbCustomCabBrowser(TComponent* AOwner);

    // The open archive, or null.
    TAbCabArchive* CabArchive() const { return static_cast<TAbCabArchive*>(FArchive.get()); }
    // The item at Index of the open cabinet; null without one.
    virtual TAbCabItem* GetItem(int32_t Index) const;
    TAbCabItem* Items(int32_t Index) const { return GetItem(Index); }

    // The open cabinet's facts; 0 or false without one.
    int32_t CabSize() const { return CabArchive() ? CabArchive()->CabSize() : 0; }
    uint16_t CurrentCab() const { return CabArchive() ? CabArchive()->CurrentCab() : 0; }
    uint16_t FolderCount() const { return CabArchive() ? CabArchive()->FolderCount() : 0; }
    bool HasNext() const { return CabArchive() && CabArchive()->HasNext(); }
    bool HasPrev() const { return CabArchive() && CabArchive()->HasPrev(); }
    // Reads the open cabinet's identifier (0 without one); a write is kept for archives
    // opened later and handed to the open one at once.
    uint16_t SetID() const { return CabArchive() ? CabArchive()->SetID() : 0; }
    void SetSetID(uint16_t Value);

protected:
    void PrepareArchive() override;
    // Closes the open archive, then opens the named file when it is a cabinet; OnChange
    // follows unless opening raised. At design time the name is only stored.
    void WriteFileName(const std::u16string& Value) override;

    uint16_t FSetID = 0;
};
