#include "fci_cabinet.h"

#include <cstring>

#include "block_decoder.h"
#include "checksum.h"

namespace cabinet {
namespace {

constexpr uint32_t kBufferSize = 65536;
constexpr uint32_t kPendingBufferSize = 16384;
// Room kept free for the next cabinet's names until they are known.
constexpr uint32_t kNextNamesAllowance = 2 * kCabMaxName;
constexpr uint32_t kMaxCabinetSize = INT32_MAX;

void copyName(char* to, const char* from) {
    size_t length = strnlen(from, kCabMaxName - 1);
    std::memcpy(to, from, length);
    to[length] = '\0';
}

bool isContinued(uint16_t folder) {
    return folder == kFolderContinuedFromPrev || folder == kFolderContinuedPrevAndNext;
}

}  // namespace

// Where the layout of one folder stands, and which of its members have been listed.
struct CabinetWriter::Placement {
    explicit Placement(TempFile& files, uint8_t* buffer)
        : reader(files, buffer, kPendingBufferSize) {}

    TempReader reader;
    uint32_t placed = 0;      // uncompressed bytes of the blocks placed so far
    bool inCabinet = false;   // the folder has a record in the cabinet being built
    bool wholeBlock = false;  // ... and at least one whole block there
    bool hasCarry = false;    // a member runs on from the previous cabinet
    PendingFile carry;
    struct Listing {
        uint32_t readerPosition = 0;
        bool hasNext = false;  // `next` is the first member not yet listed
        PendingFile next;
        bool hasLast = false;  // `last` is the member listed last in this cabinet
        PendingFile last;
        uint16_t lastFolder = 0;
        uint32_t lastPosition = 0;  // of its record in files_
    } listing;
};

CabinetWriter::CabinetWriter(FciIo& io, const FCICabInfo& parameters)
    : io_(io), parameters_(parameters), current_(parameters), files_(io), data_(io) {
    copyName(parameters_.szCab, parameters.szCab);
    copyName(parameters_.szCabPath, parameters.szCabPath);
    copyName(parameters_.szDisk, parameters.szDisk);
}

CabinetWriter::~CabinetWriter() {
    discard();
}

bool CabinetWriter::create() {
    blockBuffer_ = static_cast<uint8_t*>(io_.alloc.allocate(2 * kBufferSize));
    readBuffer_ = static_cast<uint8_t*>(io_.alloc.allocate(kBufferSize + kPendingBufferSize));
    writeBuffer_ = static_cast<uint8_t*>(io_.alloc.allocate(kBufferSize));
    if (!blockBuffer_ || !readBuffer_ || !writeBuffer_) return io_.fail(FCIERR_ALLOC_FAIL);
    if (!files_.create() || !data_.create()) return false;
    startCabinet(false);
    return true;
}

bool CabinetWriter::discard() {
    io_.alloc.deallocate(folders_);
    io_.alloc.deallocate(blockBuffer_);
    io_.alloc.deallocate(readBuffer_);
    io_.alloc.deallocate(writeBuffer_);
    folders_ = nullptr;
    blockBuffer_ = readBuffer_ = writeBuffer_ = nullptr;
    folderCount_ = folderCapacity_ = 0;
    bool filesGone = files_.discard();
    return data_.discard() && filesGone;
}

bool CabinetWriter::ensureOpen() {
    if (open_) return true;
    if (!nextKnown_ && !fetchNextCabinet()) return false;
    startCabinet(false);
    return true;
}

void CabinetWriter::startCabinet(bool continuesSet) {
    if (continuesSet) {
        copyName(prevName_, current_.szCab);
        copyName(prevDisk_, current_.szDisk);
        ++index_;
    } else {
        prevName_[0] = prevDisk_[0] = '\0';
        index_ = 0;
    }
    hasPrev_ = continuesSet;
    // The reserved areas and the set ID stay those the set was started with.
    FCICabInfo first = current_;
    current_ = parameters_;
    current_.cbReserveCFHeader = first.cbReserveCFHeader;
    current_.cbReserveCFFolder = first.cbReserveCFFolder;
    current_.cbReserveCFData = first.cbReserveCFData;
    current_.setID = first.setID;
    folderCount_ = fileCount_ = 0;
    files_.truncate(0);
    data_.truncate(0);
    nextKnown_ = false;
    open_ = true;
}

bool CabinetWriter::fetchNextCabinet() {
    // Without the callback nothing can be named, so the cabinet cannot be continued.
    if (!io_.getNextCabinet) return io_.fail(FCIERR_CAB_FORMAT_LIMIT);
    ++parameters_.iCab;
    if (!io_.getNextCabinet(&parameters_, currentSize(false), io_.user)) {
        return io_.fail(FCIERR_USER_ABORT);
    }
    parameters_.szCab[kCabMaxName - 1] = '\0';
    parameters_.szCabPath[kCabMaxName - 1] = '\0';
    parameters_.szDisk[kCabMaxName - 1] = '\0';
    // A next cabinet under the current one's name would overwrite it.
    if (parameters_.szCab[0] == '\0' ||
        (std::strcmp(parameters_.szCab, current_.szCab) == 0 &&
         std::strcmp(parameters_.szCabPath, current_.szCabPath) == 0)) {
        return io_.fail(FCIERR_CAB_FILE);
    }
    nextKnown_ = true;
    return true;
}

uint32_t CabinetWriter::limit() const {
    return current_.cb == 0 || current_.cb > kMaxCabinetSize ? kMaxCabinetSize : current_.cb;
}

uint32_t CabinetWriter::headerSize(bool withNext) const {
    uint32_t size = kCabHeaderSize;
    if (current_.cbReserveCFHeader || current_.cbReserveCFFolder || current_.cbReserveCFData) {
        size += kCabReserveFieldsSize + current_.cbReserveCFHeader;
    }
    if (hasPrev_) size += std::strlen(prevName_) + 1 + std::strlen(prevDisk_) + 1;
    if (withNext) size += std::strlen(parameters_.szCab) + 1 + std::strlen(parameters_.szDisk) + 1;
    return size;
}

uint32_t CabinetWriter::currentSize(bool withNext) const {
    return headerSize(withNext) + folderCount_ * (kCabFolderSize + current_.cbReserveCFFolder) +
           files_.size() + data_.size();
}

uint64_t CabinetWriter::plannedSize() const {
    return uint64_t{currentSize(nextKnown_)} + (nextKnown_ ? 0 : kNextNamesAllowance);
}

bool CabinetWriter::fits(uint64_t extraBytes, uint32_t extraFolders) {
    if (folderCount_ + extraFolders > kMaxCount16 || fileCount_ > kMaxCount16) return false;
    return plannedSize() + extraBytes <= limit();
}

bool CabinetWriter::roomFor(uint64_t extraBytes, uint32_t extraFolders, bool& fitsNow) {
    fitsNow = fits(extraBytes, extraFolders);
    if (fitsNow || nextKnown_) return true;
    // Close to full: the next cabinet's names decide exactly how much still fits.
    if (!fetchNextCabinet()) return false;
    fitsNow = fits(extraBytes, extraFolders);
    return true;
}

bool CabinetWriter::addFolderEntry(TCOMP compression) {
    if (folderCount_ == folderCapacity_) {
        uint32_t capacity = folderCapacity_ ? folderCapacity_ * 2 : 16;
        auto* grown = static_cast<FolderEntry*>(io_.alloc.allocate(capacity * sizeof(FolderEntry)));
        if (!grown) return io_.fail(FCIERR_ALLOC_FAIL);
        if (folderCount_) std::memcpy(grown, folders_, folderCount_ * sizeof(FolderEntry));
        io_.alloc.deallocate(folders_);
        folders_ = grown;
        folderCapacity_ = capacity;
    }
    folders_[folderCount_++] = FolderEntry{data_.size(), 0, compression};
    return true;
}

bool CabinetWriter::listFile(const PendingFile& file, uint16_t folder, Placement& at) {
    uint8_t record[kCabFileSize + kCabMaxName];
    uint32_t size = encodeFileRecord(file, folder, record);
    at.listing.hasLast = true;
    at.listing.last = file;
    at.listing.lastFolder = folder;
    at.listing.lastPosition = files_.size();
    if (!files_.append(record, size)) return false;
    ++fileCount_;
    return true;
}

bool CabinetWriter::appendBlock(const uint8_t* data, uint32_t compressedSize,
                                uint32_t uncompressedSize) {
    FolderEntry& folder = folders_[folderCount_ - 1];
    if (folder.blockCount == kMaxCount16) return io_.fail(FCIERR_CAB_FORMAT_LIMIT);
    uint32_t reserve = current_.cbReserveCFData;
    uint8_t* frame = writeBuffer_;  // free while no cabinet file is being written
    uint32_t headerSize = kCabDataHeaderSize + reserve;
    storeLE16(frame + 4, compressedSize);
    storeLE16(frame + 6, uncompressedSize);
    std::memset(frame + kCabDataHeaderSize, 0, reserve);
    std::memcpy(frame + headerSize, data, compressedSize);
    storeLE32(frame, dataBlockChecksum(frame + headerSize, compressedSize, frame + 4));
    if (!data_.append(frame, headerSize + compressedSize)) return false;
    ++folder.blockCount;
    return true;
}

bool CabinetWriter::readPendingFile(TempReader& reader, PendingFile& file) {
    uint8_t fixed[14];
    if (!reader.read(fixed, sizeof fixed) || !reader.readString(file.name, kCabMaxName)) {
        return false;
    }
    file.size = readLE32(fixed);
    file.offset = readLE32(fixed + 4);
    file.date = readLE16(fixed + 8);
    file.time = readLE16(fixed + 10);
    file.attributes = readLE16(fixed + 12);
    file.nameLength = static_cast<uint16_t>(std::strlen(file.name));
    return true;
}

bool CabinetWriter::placeFolder(FolderBuilder& folder) {
    if (folder.fileCount() == 0) return true;
    if (!ensureOpen()) return false;
    const uint32_t folderRecord = kCabFolderSize + current_.cbReserveCFFolder;
    const uint32_t blockHeader = kCabDataHeaderSize + current_.cbReserveCFData;
    Placement at(folder.files(), readBuffer_ + kBufferSize);
    auto readNext = [&] {
        at.listing.hasNext = !at.reader.atEnd();
        if (at.listing.hasNext && !readPendingFile(at.reader, at.listing.next)) return false;
        at.listing.readerPosition = at.reader.position();
        return true;
    };
    // Lists the members that start before `end` (all that remain when `end` is null), and,
    // in a cabinet the folder has not reached yet, first the member running on into it.
    auto listMembers = [&](const uint32_t* end) {
        bool newRecord = !at.inCabinet;
        uint16_t index = static_cast<uint16_t>(newRecord ? folderCount_ : folderCount_ - 1);
        if (newRecord && at.hasCarry && !listFile(at.carry, kFolderContinuedFromPrev, at)) {
            return false;
        }
        while (at.listing.hasNext && (!end || at.listing.next.offset < *end)) {
            if (!listFile(at.listing.next, index, at) || !readNext()) return false;
        }
        return true;
    };
    if (!readNext()) return false;

    uint32_t position = 0;
    const uint32_t blockCount = folder.blockCount();
    for (uint32_t block = 0; block < blockCount || (blockCount == 0 && block == 0); ++block) {
        uint32_t compressed = 0, uncompressed = 0;
        if (blockCount) {
            uint8_t header[kBlockRecordHeader];
            if (!folder.blocks().readAt(position, header, sizeof header)) return false;
            compressed = readLE16(header);
            uncompressed = readLE16(header + 2);
            if (!folder.blocks().readAt(position + kBlockRecordHeader, blockBuffer_, compressed)) {
                return false;
            }
            position += kBlockRecordHeader + compressed;
        }
        const bool lastBlock = block + 1 >= blockCount;
        uint32_t done = 0;  // bytes of this block already placed in earlier cabinets
        for (;;) {
            const uint32_t rest = compressed - done;
            const bool newRecord = !at.inCabinet;
            const uint32_t filesMark = files_.size();
            const uint32_t countMark = fileCount_;
            const Placement::Listing listingMark = at.listing;
            uint32_t end = at.placed + uncompressed;
            if (!listMembers(lastBlock ? nullptr : &end)) return false;
            uint64_t need = (newRecord ? folderRecord : 0) + (blockCount ? blockHeader + rest : 0);
            bool fitsNow = false;
            if (!roomFor(need, newRecord ? 1 : 0, fitsNow)) return false;
            if (fitsNow) {
                if (newRecord && !addFolderEntry(folder.compression())) return false;
                at.inCabinet = true;
                if (blockCount && !appendBlock(blockBuffer_ + done, rest, uncompressed)) {
                    return false;
                }
                at.placed += uncompressed;
                at.wholeBlock = true;
                break;
            }
            // The block's members go with it to the next cabinet; only a member running on
            // from the previous cabinet stays listed here.
            files_.truncate(filesMark);
            fileCount_ = countMark;
            at.listing = listingMark;
            at.reader.rewind(at.listing.readerPosition);
            if (!listMembers(&at.placed)) return false;
            // Readers join a folder's parts through the members listed with them: a part
            // that would hold only the start of a split block lists the first member starting
            // in that block, as running on into the next cabinet.
            if (newRecord && !at.hasCarry && at.listing.hasNext) {
                uint16_t index = static_cast<uint16_t>(newRecord ? folderCount_ : folderCount_ - 1);
                if (!listFile(at.listing.next, index, at) || !readNext()) return false;
            }
            int64_t room = int64_t{limit()} - currentSize(nextKnown_) -
                           (newRecord ? folderRecord : 0) - blockHeader;
            bool mayAddFolder = !newRecord || folderCount_ < kMaxCount16;
            bool cabinetHasData = data_.size() > 0;
            if (blockCount && room >= 1 && room < int64_t{rest} && mayAddFolder &&
                fileCount_ <= kMaxCount16 && (at.wholeBlock || !cabinetHasData)) {
                // Split the block: its first part ends this cabinet, counting no output.
                if (newRecord && !addFolderEntry(folder.compression())) return false;
                at.inCabinet = true;
                uint32_t piece = static_cast<uint32_t>(room);
                if (!appendBlock(blockBuffer_ + done, piece, 0)) return false;
                done += piece;
            } else {
                files_.truncate(filesMark);
                fileCount_ = countMark;
                at.listing = listingMark;
                at.reader.rewind(at.listing.readerPosition);
                if (!hasContent()) return io_.fail(FCIERR_CAB_FORMAT_LIMIT);
            }
            if (!closeForContinuation(at)) return false;
        }
    }
    return true;
}

bool CabinetWriter::closeForContinuation(Placement& at) {
    if (at.inCabinet) {
        const auto& listing = at.listing;
        at.hasCarry = listing.hasLast && listing.last.end() > at.placed;
        if (at.hasCarry) {
            uint8_t folder[2];
            storeLE16(folder, isContinued(listing.lastFolder) ? kFolderContinuedPrevAndNext
                                                              : kFolderContinuedToNext);
            if (!files_.patch(listing.lastPosition + 8, folder, sizeof folder)) return false;
            at.carry = listing.last;
        }
    }
    if (!flush(true)) return false;
    at.inCabinet = false;
    at.wholeBlock = false;
    at.listing.hasLast = false;
    return true;
}

bool CabinetWriter::flush(bool continueSet) {
    if (!open_) return true;
    if (!hasContent() && anyWritten_) {
        // Nothing new since the last cabinet: no empty cabinet is written.
        if (!continueSet) open_ = false;
        return true;
    }
    if (!writeCabinet(continueSet)) return false;
    if (continueSet) {
        startCabinet(true);
    } else {
        open_ = false;
    }
    return true;
}

bool CabinetWriter::writeCabinet(bool withNext) {
    if (withNext && !nextKnown_ && !fetchNextCabinet()) return false;
    char path[2 * kCabMaxName];
    std::strcpy(path, current_.szCabPath);
    std::strcat(path, current_.szCab);
    int err = 0;
    CabHandle out = io_.open(path, kCreateFlags, kCreateMode, &err, io_.user);
    if (out == -1) return io_.fail(FCIERR_CAB_FILE, err);
    bool ok = writeCabinetFile(out, withNext);
    if (io_.close(out, &err, io_.user) == -1 && ok) ok = io_.fail(FCIERR_CAB_FILE, err);
    if (!ok) {
        io_.remove(path, &err, io_.user);  // never leave half a cabinet behind
        return false;
    }
    anyWritten_ = true;
    uint32_t size = currentSize(withNext);
    return io_.reportStatus(statusCabinet, size, size);
}

bool CabinetWriter::writeCabinetFile(CabHandle out, bool withNext) {
    uint32_t pending = 0;
    auto flushOut = [&] {
        int err = 0;
        if (pending && io_.write(out, writeBuffer_, pending, &err, io_.user) != pending) {
            return io_.fail(FCIERR_CAB_FILE, err);
        }
        pending = 0;
        return true;
    };
    auto put = [&](const void* data, uint32_t size) {
        if (pending + size > kBufferSize && !flushOut()) return false;
        std::memcpy(writeBuffer_ + pending, data, size);
        pending += size;
        return true;
    };

    const uint32_t header = headerSize(withNext);
    const uint32_t folderRecord = kCabFolderSize + current_.cbReserveCFFolder;
    const uint32_t filesOffset = header + folderCount_ * folderRecord;
    const bool reserve =
        current_.cbReserveCFHeader || current_.cbReserveCFFolder || current_.cbReserveCFData;
    uint8_t* h = writeBuffer_;
    std::memset(h, 0, header);
    storeLE32(h, kCabSignature);
    storeLE32(h + 8, currentSize(withNext));
    storeLE32(h + 16, filesOffset);
    h[24] = kCabVersionMinor;
    h[25] = kCabVersionMajor;
    storeLE16(h + 26, folderCount_);
    storeLE16(h + 28, fileCount_);
    storeLE16(h + 30, (hasPrev_ ? kCabFlagPrevCabinet : 0) | (withNext ? kCabFlagNextCabinet : 0) |
                          (reserve ? kCabFlagReservePresent : 0));
    storeLE16(h + 32, current_.setID);
    storeLE16(h + 34, index_);
    uint32_t at = kCabHeaderSize;
    if (reserve) {
        storeLE16(h + at, current_.cbReserveCFHeader);
        h[at + 2] = static_cast<uint8_t>(current_.cbReserveCFFolder);
        h[at + 3] = static_cast<uint8_t>(current_.cbReserveCFData);
        at += kCabReserveFieldsSize + current_.cbReserveCFHeader;
    }
    auto putName = [&](const char* name) {
        size_t length = std::strlen(name) + 1;
        std::memcpy(h + at, name, length);
        at += static_cast<uint32_t>(length);
    };
    if (hasPrev_) {
        putName(prevName_);
        putName(prevDisk_);
    }
    if (withNext) {
        putName(parameters_.szCab);
        putName(parameters_.szDisk);
    }
    pending = header;

    for (uint32_t i = 0; i < folderCount_; ++i) {
        uint8_t record[kCabFolderSize + kMaxFolderOrDataReserve] = {};
        storeLE32(record, filesOffset + files_.size() + folders_[i].dataOffset);
        storeLE16(record + 4, folders_[i].blockCount);
        storeLE16(record + 6, folders_[i].compression);
        if (!put(record, folderRecord)) return false;
    }

    TempReader files(files_, readBuffer_, kBufferSize);
    while (!files.atEnd()) {
        uint8_t fixed[kCabFileSize];
        char name[kCabMaxName];
        if (!files.read(fixed, sizeof fixed) || !files.readString(name, sizeof name)) return false;
        bool continuation = isContinued(readLE16(fixed + 8));
        if (io_.filePlaced && io_.filePlaced(&current_, name, static_cast<int32_t>(readLE32(fixed)),
                                             continuation, io_.user) == -1) {
            return io_.fail(FCIERR_USER_ABORT);
        }
        if (!put(fixed, sizeof fixed) || !put(name, static_cast<uint32_t>(std::strlen(name) + 1))) {
            return false;
        }
    }

    for (uint32_t done = 0; done < data_.size();) {
        if (!flushOut()) return false;
        uint32_t chunk = data_.size() - done < kBufferSize ? data_.size() - done : kBufferSize;
        if (!data_.readAt(done, writeBuffer_, chunk)) return false;
        pending = chunk;
        done += chunk;
    }
    return flushOut();
}

}  // namespace cabinet
