// The cabinet archive: lists and extracts the members of a cabinet file, and builds new
// cabinets, through the cabinet library. It parses nothing itself: a check pass and a listing
// pass of the library yield the cabinet's facts and members (those of the set's later cabinets
// too), and each extracted member is one complete pass of the library over the cabinet where
// it starts, unless it was decoded ahead of its turn and kept (members listed against the
// order of their data).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "archive/cab/ab_fci_fdi.h"
#include "archive/cab/ab_member_places.h"
#include "archive/cab/ab_member_spool.h"
#include "archive/cab/ab_output_file.h"
#include "archive/cab/ab_stream.h"
#include "archive/core/ab_archive.h"
#include "archive/core/ab_archive_item.h"
#include "cabinet/include/cabinet.h"

enum TAbCabCompressionType : uint8_t { ctNone, ctMSZIP, ctLZX };

// One member. Its stored name is kept twice: the cabinet's own bytes, which extraction
// matches on, and decoded into FileName.
class TAbCabItem : public TAbArchiveItem {
public:
    bool PartialFile() const { return FPartialFile; }
    void SetPartialFile(bool value) { FPartialFile = value; }
    const std::string& RawFileName() const { return FRawFileName; }
    void SetRawFileName(const std::string& value) { FRawFileName = value; }
    // The narrow name of the later cabinet of the set in which the member starts; empty for
    // a member of the opened cabinet itself.
    const std::string& CabinetName() const { return FCabinetName; }
    void SetCabinetName(const std::string& value) { FCabinetName = value; }

protected:
    bool FPartialFile = false;  // began in an earlier cabinet of the set
    std::string FRawFileName;   // the stored name, byte for byte
    std::string FCabinetName;
};

class TAbCabArchive : public TAbArchive {
public:
    // Mode: all bits of 0xFF00 set creates a new cabinet (write); otherwise bit 0 selects
    // writing. Does not touch the file.
    TAbCabArchive(const std::u16string& FileName, uint16_t Mode);
    ~TAbCabArchive() override;

    // A cabinet archive works on a named file only: always raises EAbCabException.
    [[noreturn]] static void CreateFromStream(std::iostream* aStream,
                                              const std::u16string& aArchiveName);

    TAbCabItem* GetItem(int32_t ItemIndex) const;
    void PutItem(int32_t Index, TAbCabItem* Value);
    TAbCabItem* operator[](int32_t Index) const { return GetItem(Index); }

    int32_t CabSize() const { return FCabSize; }
    uint16_t CurrentCab() const { return FCurrentCab; }
    uint16_t FolderCount() const { return FFolderCount; }
    bool HasPrev() const { return FHasPrev; }
    bool HasNext() const { return FHasNext; }
    uint16_t SetID() const { return FSetID; }
    void SetSetID(uint16_t Value);
    TAbCabCompressionType CompressionType() const { return FCompressionType; }
    void SetCompressionType(TAbCabCompressionType Value) { FCompressionType = Value; }
    uint32_t FolderThreshold() const { return FFolderThreshold; }
    void SetFolderThreshold(uint32_t Value);
    uint32_t ItemProgress() const { return FItemProgress; }
    void SetItemProgress(uint32_t Value) { FItemProgress = Value; }

    // Writing: add a member (the archive takes the item over in every case), close the
    // current cabinet and go on in a new one, close the current folder.
    void Add(std::unique_ptr<TAbArchiveItem> aItem) override;
    void NewCabinet();
    void NewFolder();

    // A new member for a disk file: its absolute path (a relative one taken under the base
    // directory) and its stored name after the store options.
    std::unique_ptr<TAbArchiveItem> NewItem(const std::u16string& FileSpec) override;

protected:
    void ExtractItemToFile(int32_t Index, const std::u16string& UseName) override;
    void ExtractItemToStream(int32_t Index, std::ostream& Stream) override;
    void ReadDirectory() override;
    void WriteArchive() override {}
    void VerifyItem(int32_t) override {}
    void WriteSpanningThreshold(int64_t Value) override;

private:
    void ScanCabinet();
    // Lists the members that start in the later cabinets of the set, following the chain of
    // next-cabinet names from the opened one, so that extracting the first cabinet of a set
    // reaches every member. A next cabinet that cannot be read, belongs to another set, or
    // stands at another place in the set (or was seen before) raises, naming it.
    void ListFollowingCabinets();
    void CloseCabinetContexts();
    void CreateWriteContext();
    // One FDICopy pass that extracts FItemInProgress (item Index); reports a failed pass.
    void RunExtractionPass(int32_t Index);
    // Extracts item Index into FIIPName or FItemStream: from the spool when it was decoded
    // ahead of its turn, otherwise by a pass, before which the members still to come that the
    // pass would decode on its way are kept in the spool.
    void ExtractItem(int32_t Index);
    void ServeFromSpool(int32_t Index);
    void SpoolMembersOnTheWayTo(int32_t Index);
    // One pass that writes member Index (and nothing else) into the spool; false when it
    // failed, which leaves the member to its own pass.
    bool SpoolMember(int32_t Index);
    // Where the library stands in its folder after a pass that ended with member Index.
    void NoteDecodedUpTo(int32_t Index, bool passed);
    // Keeps FPlaces only when it matches the listed members one for one.
    void MatchPlacesToItems();

    static CabHandle CABINET_CC FdiListNotify(FDINotificationType type, FDINotification* record);
    static CabHandle CABINET_CC FdiExtractNotify(FDINotificationType type, FDINotification* record);
    CabHandle listNotify(FDINotificationType type, const FDINotification& record);
    CabHandle listFollowingNotify(FDINotificationType type, const FDINotification& record);
    static std::unique_ptr<TAbCabItem> newItem(const FDINotification& record, bool partial);
    CabHandle extractNotify(FDINotificationType type, const FDINotification& record);

    // Flushes the last cabinet and destroys the compression context.
    void closeWriteContext(FCIContext context);

    // Writing-side callbacks (the archive arrives as the user pointer).
    friend struct CabWriterCallbacks;

    std::string FCabName;  // narrow file-name part of ArchiveName
    std::string FCabPath;  // narrow folder part with its final separator, or empty
    FCICabInfo FFCICabInfo{};
    FCIContext FFCIContext = nullptr;
    FDIContext FFDIContext = nullptr;
    FDICabInfo FFDICabInfo{};
    CabErrorRecord FErrors{};
    TAbCabItem* FItemInProgress = nullptr;  // not owned
    TStream* FItemStream = nullptr;         // not owned
    std::u16string FIIPName;
    std::unique_ptr<pelmora::PendingOutputFile> FOutput;  // the member being written to FIIPName
    uint32_t FItemProgress = 0;
    std::u16string FNextCabinet;
    std::u16string FNextDisk;
    int32_t FTempFileID = 0;
    uint16_t FCurrentCab = 0;
    int32_t FCabSize = 0;
    TAbCabCompressionType FCompressionType = ctNone;
    uint16_t FFileCount = 0;
    uint32_t FFolderThreshold = 0;
    uint16_t FFolderCount = 0;
    bool FHasPrev = false;
    bool FHasNext = false;
    uint16_t FSetID = 0;

    pelmora::TCabinetFiles FCabinetFiles;  // every cabinet read, as first opened
    // While a later cabinet of the set is listed: its narrow name, its members, and the name
    // of the cabinet after it.
    struct FollowedCabinet {
        std::string name;
        uint16_t number = 0;  // its expected place in the set
        std::vector<std::unique_ptr<TAbCabItem>> items;
        std::u16string next;
        bool wrongCabinet = false;
    };
    FollowedCabinet* FFollowing = nullptr;

    // The places of the opened cabinet's members in their folders, index for index with the
    // item list; empty when the file table could not be matched to the listing.
    std::vector<pelmora::TMemberPlace> FPlaces;
    pelmora::TMemberSpool FSpool;
    // How far the library has decoded which folder, as far as the archive can tell; -1: unknown.
    int32_t FDecodedFolder = -1;
    uint32_t FDecodedTo = 0;
    // During a pass: members offered so far; the member being spooled (-1: none), where it
    // goes, and whether it was written to its end.
    int32_t FOffered = 0;
    int32_t FSpoolIndex = -1;
    TStream* FSpoolStream = nullptr;
    bool FSpoolComplete = false;
};
