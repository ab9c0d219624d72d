// The cabinet file layout: header, folder and file records, data-block headers.
//
// A cabinet starts with a fixed header (optionally followed by reserve sizes, a reserved area
// and the names of the previous and next cabinets of a set), then one record per folder, then
// one record per file (at the header's file-table offset). Each folder's data blocks lie at the
// folder's own offset. Every multi-byte field is little-endian.
//
// The parsers read from a memory buffer and never read past its end: a record that runs past
// it answers `truncated`, so a caller reading a file piecewise can fetch more and try again.
// Names are returned as pointers into the buffer (zero-terminated there).
#pragma once

#include <cstddef>
#include <cstdint>

#include "cabinet.h"

namespace cabinet {

constexpr uint32_t kCabSignature = 0x4643534D;  // "MSCF"
constexpr uint8_t kCabVersionMajor = 1;

constexpr size_t kCabHeaderSize = 36;
constexpr size_t kCabReserveFieldsSize = 4;
constexpr size_t kCabFolderSize = 8;
constexpr size_t kCabFileSize = 16;
constexpr size_t kCabDataHeaderSize = 8;
// Names (cabinet, disk and member names) hold at most 255 bytes before their terminating zero.
constexpr size_t kCabMaxName = CAB_MAX_NAME;

// Header flags.
constexpr uint16_t kCabFlagPrevCabinet = 0x0001;
constexpr uint16_t kCabFlagNextCabinet = 0x0002;
constexpr uint16_t kCabFlagReservePresent = 0x0004;

// Folder indexes of files that cross a cabinet boundary.
constexpr uint16_t kFolderContinuedFromPrev = 0xFFFD;
constexpr uint16_t kFolderContinuedToNext = 0xFFFE;
constexpr uint16_t kFolderContinuedPrevAndNext = 0xFFFF;

enum class ParseStatus {
    ok,
    truncated,   // the record runs past the end of the buffer
    notCabinet,  // no cabinet signature
    badVersion,  // a cabinet of a format version this reader does not know
    corrupt,     // fields that contradict each other or the format's limits
};

struct CabHeader {
    uint32_t cabinetSize = 0;  // cbCabinet
    uint32_t filesOffset = 0;  // coffFiles
    uint8_t versionMinor = 0;
    uint8_t versionMajor = 0;
    uint16_t folderCount = 0;
    uint16_t fileCount = 0;
    uint16_t flags = 0;
    uint16_t setID = 0;
    uint16_t cabinetIndex = 0;  // iCabinet
    uint16_t headerReserveSize = 0;
    uint8_t folderReserveSize = 0;
    uint8_t dataReserveSize = 0;
    uint32_t headerReserveOffset = 0;
    // Set names; empty strings (never null after a successful parse) when absent.
    const char* prevCabinet = nullptr;
    const char* prevDisk = nullptr;
    const char* nextCabinet = nullptr;
    const char* nextDisk = nullptr;
    uint32_t foldersOffset = 0;  // where the first folder record starts

    bool hasPrev() const { return flags & kCabFlagPrevCabinet; }
    bool hasNext() const { return flags & kCabFlagNextCabinet; }
    bool hasReserve() const { return flags & kCabFlagReservePresent; }
    size_t folderRecordSize() const { return kCabFolderSize + folderReserveSize; }
    size_t dataHeaderSize() const { return kCabDataHeaderSize + dataReserveSize; }
    // The file records follow the folder records directly, where every cabinet maker puts
    // them; the header's coffFiles is not consulted, so records it would hide or skip are not
    // read differently from other readers that walk the directory in order.
    size_t filesStart() const { return foldersOffset + size_t{folderCount} * folderRecordSize(); }
};

struct CabFolder {
    uint32_t dataOffset = 0;   // coffCabStart: the first data block
    uint16_t blockCount = 0;   // cCFData: data blocks of this folder in this cabinet
    uint16_t compression = 0;  // typeCompress (TCOMP)
};

struct CabFile {
    uint32_t size = 0;          // cbFile
    uint32_t folderOffset = 0;  // uoffFolderStart: offset of the file's first byte in its folder
    uint16_t folder = 0;        // iFolder, possibly one of the kFolderContinued* values
    uint16_t date = 0;
    uint16_t time = 0;
    uint16_t attributes = 0;
    const char* name = nullptr;
};

struct CabDataHeader {
    uint32_t checksum = 0;
    uint16_t compressedSize = 0;    // cbData
    uint16_t uncompressedSize = 0;  // cbUncomp; 0 in the first part of a block split over cabinets
};

inline uint16_t readLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t readLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The fixed 36-byte header alone: signature, version, counts, flags and set fields.
ParseStatus parseCabFixedHeader(const uint8_t* data, size_t size, CabHeader& header);

// The fixed header, the reserve sizes, the reserved area and the set names.
ParseStatus parseCabHeader(const uint8_t* data, size_t size, CabHeader& header);

// Folder record `index` (0-based) of a parsed header.
ParseStatus parseCabFolder(const uint8_t* data, size_t size, const CabHeader& header,
                           unsigned index, CabFolder& folder);

// The file record at `offset`; `next` receives the offset of the record after it.
ParseStatus parseCabFile(const uint8_t* data, size_t size, size_t offset, CabFile& file,
                         size_t& next);

// A data-block header (`header.dataHeaderSize()` bytes including the reserved area) at `data`.
CabDataHeader parseCabDataHeader(const uint8_t* data);

// Where the header, folder and file records end: the number of leading bytes that hold the
// whole directory of the cabinet. `truncated` when the buffer does not reach that far yet.
ParseStatus measureCabDirectory(const uint8_t* data, size_t size, size_t& directoryEnd);

// True for the compression types a reader of this library can decode, with parameters in range.
bool isKnownCompression(uint16_t compression);

}  // namespace cabinet
