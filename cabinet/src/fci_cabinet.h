// The cabinet being built, and the set it belongs to. Completed folders are laid out into it;
// when one does not fit within the largest cabinet size, the folder continues in the next
// cabinet of the set (a data block may be split between the two), members that cross the
// boundary are listed in both cabinets, and the get-next-cabinet callback names the next one.
#pragma once

#include <cstdint>

#include "fci_folder.h"
#include "fci_io.h"
#include "fci_records.h"

namespace cabinet {

class CabinetWriter {
public:
    CabinetWriter(FciIo& io, const FCICabInfo& parameters);
    ~CabinetWriter();
    CabinetWriter(const CabinetWriter&) = delete;
    CabinetWriter& operator=(const CabinetWriter&) = delete;

    bool create();
    bool discard();

    // Moves a finished folder's blocks and members into the cabinet(s).
    bool placeFolder(FolderBuilder& folder);
    // Writes the cabinet being built. With `continueSet` the next cabinet of the set is named
    // now and started; otherwise the set ends and a later member starts a new one.
    bool flush(bool continueSet);

    // The size the cabinet being built counts as now (room for the next cabinet's names
    // included while they are unknown), and the most it may reach.
    uint64_t plannedSize() const;
    uint32_t limit() const;
    uint32_t fileCount() const { return fileCount_; }
    uint32_t folderCount() const { return folderCount_; }
    uint32_t folderRecordSize() const { return kCabFolderSize + current_.cbReserveCFFolder; }

private:
    struct FolderEntry {
        uint32_t dataOffset;  // in data_
        uint16_t blockCount;
        uint16_t compression;
    };
    // Where the layout of a folder stands.
    struct Placement;

    bool ensureOpen();
    void startCabinet(bool continuesSet);
    bool fetchNextCabinet();
    uint32_t headerSize(bool withNext) const;
    uint32_t currentSize(bool withNext) const;
    bool fits(uint64_t extraBytes, uint32_t extraFolders);
    bool roomFor(uint64_t extraBytes, uint32_t extraFolders, bool& fitsNow);
    bool addFolderEntry(TCOMP compression);
    bool listFile(const PendingFile& file, uint16_t folder, Placement& at);
    bool appendBlock(const uint8_t* data, uint32_t compressedSize, uint32_t uncompressedSize);
    bool readPendingFile(TempReader& reader, PendingFile& file);
    bool closeForContinuation(Placement& at);
    bool writeCabinet(bool withNext);
    bool writeCabinetFile(CabHandle out, bool withNext);
    bool hasContent() const { return folderCount_ > 0 || fileCount_ > 0; }

    FciIo& io_;
    FCICabInfo parameters_;  // the caller's record, updated by get-next-cabinet
    FCICabInfo current_;     // the cabinet being built, as named when it was started
    bool open_ = false;
    bool nextKnown_ = false;  // parameters_ already name the next cabinet
    bool anyWritten_ = false;
    bool hasPrev_ = false;
    uint16_t index_ = 0;  // within the set
    char prevName_[kCabMaxName] = {};
    char prevDisk_[kCabMaxName] = {};

    FolderEntry* folders_ = nullptr;
    uint32_t folderCount_ = 0;
    uint32_t folderCapacity_ = 0;
    uint32_t fileCount_ = 0;
    TempFile files_;  // file records, ready to be written
    TempFile data_;   // data blocks with their headers and checksums
    uint8_t* blockBuffer_ = nullptr;
    uint8_t* readBuffer_ = nullptr;
    uint8_t* writeBuffer_ = nullptr;
};

}  // namespace cabinet
