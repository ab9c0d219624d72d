// One FDICopy pass (its contract is FDICopy's in cabinet.h).
//
// Up to three cabinets are open in a pass: the one listed, the later one a folder runs on
// into, and one being checked before it replaces the later one. Names handed to the handler
// are copies in the pass's own buffers, so a handler that writes into them cannot touch the
// parsed directory.
#include <cstring>

#include "checksum.h"
#include "fdi_context.h"
#include "folder_decoder.h"

namespace cabinet {

namespace {

// A handler that keeps answering "try again" to a next cabinet that cannot be opened ends the
// pass after this many attempts instead of looping for ever.
constexpr int kMaxNextCabinetAttempts = 8;
constexpr CabHandle kAbort = -1;

bool isPartial(uint16_t folder) {
    return folder == kFolderContinuedFromPrev || folder == kFolderContinuedPrevAndNext;
}

// Copies a name into a buffer of kCabMaxName + 1 bytes that the handler may look at freely.
void copyName(char* to, const char* from) {
    size_t n = std::strlen(from);
    if (n > kCabMaxName) n = kCabMaxName;
    std::memcpy(to, from, n);
    to[n] = 0;
}

class CopyPass {
public:
    CopyPass(FdiContextData& context, FdiNotifyFn notify, void* user)
        : c_(context), notify_(notify), user_(user) {}

    ~CopyPass() {
        for (CabinetSource& source : c_.sources) source.close();
    }

    int run(const char* name, const char* path) {
        if (std::strlen(path) > kCabMaxName) return FDIERROR_CABINET_NOT_FOUND;
        copyName(path_, path);
        if (!joinPath(name)) return FDIERROR_CABINET_NOT_FOUND;
        if (int error = listed_->open(fullName_); error != FDIERROR_NONE) return error;
        if (int error = announceCabinet(*listed_); error != FDIERROR_NONE) return error;
        for (unsigned i = 0; i < listed_->header().fileCount; ++i) {
            if (int error = offerMember(i); error != FDIERROR_NONE) return error;
        }
        return FDIERROR_NONE;
    }

private:
    bool joinPath(const char* name) {
        size_t pathLength = std::strlen(path_);
        size_t nameLength = std::strlen(name);
        if (nameLength > kCabMaxName) return false;
        std::memcpy(fullName_, path_, pathLength);
        std::memcpy(fullName_ + pathLength, name, nameLength + 1);
        return true;
    }

    CabHandle notify(FDINotificationType type, FDINotification& n) {
        n.pv = user_;
        return notify_(type, &n);
    }

    int announceCabinet(const CabinetSource& source) {
        const CabHeader& h = source.header();
        copyName(text1_, h.nextCabinet);
        copyName(text2_, h.nextDisk);
        FDINotification n{};
        n.psz1 = text1_;
        n.psz2 = text2_;
        n.psz3 = path_;
        n.setID = h.setID;
        n.iCabinet = h.cabinetIndex;
        CabHandle answer = notify(fdintCABINET_INFO, n);
        path_[kCabMaxName] = 0;
        return answer == kAbort ? FDIERROR_USER_ABORT : FDIERROR_NONE;
    }

    int offerMember(unsigned index) {
        const CabHeader& h = listed_->header();
        const CabFile file = listed_->file(index);
        copyName(memberName_, file.name);
        FDINotification n{};
        n.psz1 = memberName_;
        n.cb = static_cast<int32_t>(file.size);
        n.date = file.date;
        n.time = file.time;
        n.attribs = file.attributes;
        n.setID = h.setID;
        n.iCabinet = h.cabinetIndex;
        n.iFolder = file.folder;
        if (isPartial(file.folder)) {
            copyName(text1_, h.prevCabinet);
            copyName(text2_, h.prevDisk);
            n.psz2 = text1_;
            n.psz3 = text2_;
            return notify(fdintPARTIAL_FILE, n) == kAbort ? FDIERROR_USER_ABORT : FDIERROR_NONE;
        }
        CabHandle output = notify(fdintCOPY_FILE, n);
        if (output == kAbort) return FDIERROR_USER_ABORT;
        if (output == 0) return FDIERROR_NONE;
        if (int error = writeMember(file, output); error != FDIERROR_NONE) return error;

        FDINotification done{};
        copyName(memberName_, file.name);
        done.psz1 = memberName_;
        done.hf = output;
        done.date = file.date;
        done.time = file.time;
        done.attribs = file.attributes;
        done.cb = (file.attributes & CAB_ATTRIB_EXECUTE) ? 1 : 0;
        done.setID = h.setID;
        done.iCabinet = h.cabinetIndex;
        done.iFolder = file.folder;
        CabHandle answer = notify(fdintCLOSE_FILE_INFO, done);
        if (answer == kAbort) return FDIERROR_USER_ABORT;
        return answer == 0 ? FDIERROR_TARGET_FILE : FDIERROR_NONE;
    }

    int writeMember(const CabFile& file, CabHandle output) {
        if (file.size == 0) return FDIERROR_NONE;
        unsigned folders = listed_->header().folderCount;
        unsigned folder = file.folder == kFolderContinuedToNext ? folders - 1 : file.folder;
        if (folders == 0 || folder >= folders) return FDIERROR_CORRUPT_CABINET;
        if (int error = prepareFolder(folder, file.folderOffset); error != FDIERROR_NONE)
            return error;

        FolderCursor& cursor = c_.cursor;
        uint64_t position = file.folderOffset;
        const uint64_t end = position + file.size;
        while (position < end) {
            if (position >= cursor.outEnd) {
                if (int error = decodeNextBlock(); error != FDIERROR_NONE) {
                    cursor.valid = false;
                    return error;
                }
                continue;
            }
            uint64_t stop = end < cursor.outEnd ? end : cursor.outEnd;
            uint32_t count = static_cast<uint32_t>(stop - position);
            uint32_t written =
                c_.io.write(output, c_.blockOut + (position - cursor.outStart), count);
            if (written != count) return FDIERROR_TARGET_FILE;
            position = stop;
        }
        return FDIERROR_NONE;
    }

    // The source whose data blocks the cursor reads, when it is open in this pass.
    CabinetSource* reading() {
        for (CabinetSource* source : {listed_, spanned_}) {
            if (source->isOpen() && source->identity() == c_.cursor.currentCabinet) return source;
        }
        return nullptr;
    }

    // Positions the cursor at or before `offset` of folder `folder` of the listed cabinet:
    // where the last pass stopped when that is still usable, else at the folder's start.
    int prepareFolder(unsigned folder, uint64_t offset) {
        FolderCursor& cursor = c_.cursor;
        const uint64_t id = listed_->identity();
        bool sameFolder = cursor.valid && reading() &&
                          ((cursor.startCabinet == id && cursor.startFolder == folder) ||
                           (cursor.currentCabinet == id && cursor.currentFolder == folder));
        if (sameFolder && offset >= cursor.outStart) return FDIERROR_NONE;
        // The folder began in an earlier cabinet: its history is not here to start from.
        if (folder == 0 && listed_->continuesFromPrev()) return FDIERROR_WRONG_CABINET;

        uint16_t compression = listed_->folder(folder).compression;
        if (!isKnownCompression(compression)) return FDIERROR_BAD_COMPR_TYPE;
        cursor = FolderCursor{};
        if (c_.decoder && sameDecoder(c_.decoderCompression, compression)) {
            c_.decoder->reset();
        } else {
            destroyDecoder(c_.alloc, c_.decoder);
            c_.decoder = createFolderDecoder(c_.alloc, compression);
            if (!c_.decoder) return FDIERROR_ALLOC_FAIL;
            c_.decoderCompression = compression;
        }
        cursor.valid = true;
        cursor.startCabinet = cursor.currentCabinet = id;
        cursor.startFolder = cursor.currentFolder = static_cast<uint16_t>(folder);
        cursor.compression = compression;
        cursor.nextBlockOffset = listed_->folder(folder).dataOffset;
        return FDIERROR_NONE;
    }

    int decodeNextBlock() {
        FolderCursor& cursor = c_.cursor;
        for (;;) {
            CabinetSource* source = reading();
            if (!source) return FDIERROR_CORRUPT_CABINET;
            const CabHeader& h = source->header();
            bool lastFolder = cursor.currentFolder + 1u == h.folderCount;
            bool goesOn = lastFolder && source->continuesToNext();
            if (cursor.nextBlock >= source->folder(cursor.currentFolder).blockCount) {
                if (!goesOn) return FDIERROR_CORRUPT_CABINET;  // the member runs past the data
                if (int error = enterNextCabinet(); error != FDIERROR_NONE) return error;
                continue;
            }

            const uint8_t* head = source->view(cursor.nextBlockOffset, kCabDataHeaderSize);
            if (!head) return FDIERROR_CORRUPT_CABINET;
            CabDataHeader block = parseCabDataHeader(head);
            uint8_t sizes[4];
            std::memcpy(sizes, head + 4, 4);
            if (cursor.pendingInput + block.compressedSize > kMaxBlockInput ||
                block.uncompressedSize > kMaxBlockOutput)
                return FDIERROR_CORRUPT_CABINET;
            uint32_t payloadSize = h.dataReserveSize + block.compressedSize;
            const uint8_t* payload =
                source->view(cursor.nextBlockOffset + kCabDataHeaderSize, payloadSize);
            if (!payload) return FDIERROR_CORRUPT_CABINET;
            const uint8_t* data = payload + h.dataReserveSize;
            if (block.checksum != 0 &&
                dataBlockChecksum(data, block.compressedSize, sizes) != block.checksum)
                return FDIERROR_CORRUPT_CABINET;
            cursor.nextBlock++;
            cursor.nextBlockOffset += kCabDataHeaderSize + payloadSize;

            if (block.uncompressedSize == 0) {
                // Only the last block in a cabinet may be split; its rest opens the next one.
                bool lastHere = cursor.nextBlock == source->folder(cursor.currentFolder).blockCount;
                if (!lastHere || !goesOn) return FDIERROR_CORRUPT_CABINET;
                std::memcpy(c_.blockIn + cursor.pendingInput, data, block.compressedSize);
                cursor.pendingInput += block.compressedSize;
                continue;
            }
            const uint8_t* input = data;
            uint32_t inputSize = block.compressedSize;
            if (cursor.pendingInput > 0) {
                std::memcpy(c_.blockIn + cursor.pendingInput, data, block.compressedSize);
                input = c_.blockIn;
                inputSize = cursor.pendingInput + block.compressedSize;
                cursor.pendingInput = 0;
            }
            if (c_.decoder->decode(input, inputSize, c_.blockOut, block.uncompressedSize) !=
                DecodeStatus::ok)
                return FDIERROR_CORRUPT_CABINET;
            cursor.outStart = cursor.outEnd;
            cursor.outEnd += block.uncompressedSize;
            return FDIERROR_NONE;
        }
    }

    // Asks the handler for the next cabinet of the set until one that continues this folder
    // opens, or the handler gives up.
    int enterNextCabinet() {
        CabinetSource* current = reading();
        const CabHeader& h = current->header();
        const uint16_t setID = h.setID;
        const uint16_t nextIndex = static_cast<uint16_t>(h.cabinetIndex + 1);
        char nextName[kCabMaxName + 1];
        char nextDisk[kCabMaxName + 1];
        copyName(nextName, h.nextCabinet);
        copyName(nextDisk, h.nextDisk);

        int reason = FDIERROR_NONE;
        bool opened = false;
        for (int attempt = 0; attempt < kMaxNextCabinetAttempts && !opened; ++attempt) {
            copyName(text1_, nextName);
            copyName(text2_, nextDisk);
            FDINotification n{};
            n.psz1 = text1_;
            n.psz2 = text2_;
            n.psz3 = path_;
            n.fdie = reason;
            n.setID = setID;
            n.iCabinet = nextIndex;
            if (notify(fdintNEXT_CABINET, n) == kAbort) return FDIERROR_USER_ABORT;
            path_[kCabMaxName] = 0;
            if (!joinPath(nextName)) {
                reason = FDIERROR_CABINET_NOT_FOUND;
                continue;
            }
            reason = incoming_->open(fullName_);
            if (reason != FDIERROR_NONE) continue;
            const CabHeader& next = incoming_->header();
            if (next.setID != setID || next.cabinetIndex != nextIndex ||
                !incoming_->continuesFromPrev() ||
                !sameDecoder(incoming_->folder(0).compression, c_.cursor.compression)) {
                incoming_->close();
                reason = FDIERROR_WRONG_CABINET;
                continue;
            }
            opened = true;
        }
        if (!opened) return reason;

        if (current == spanned_) spanned_->close();
        CabinetSource* entered = incoming_;
        incoming_ = spanned_;
        spanned_ = entered;

        FolderCursor& cursor = c_.cursor;
        cursor.currentCabinet = entered->identity();
        cursor.currentFolder = 0;
        cursor.nextBlock = 0;
        cursor.nextBlockOffset = entered->folder(0).dataOffset;
        return announceCabinet(*entered);
    }

    FdiContextData& c_;
    FdiNotifyFn notify_;
    void* user_;
    CabinetSource* listed_ = &c_.sources[0];
    CabinetSource* spanned_ = &c_.sources[1];
    CabinetSource* incoming_ = &c_.sources[2];

    // Buffers handed to the handler: it may read them, and may rewrite the path (psz3).
    char path_[kCabMaxName + 1] = {};
    char fullName_[2 * kCabMaxName + 2] = {};
    char memberName_[kCabMaxName + 1] = {};
    char text1_[kCabMaxName + 1] = {};
    char text2_[kCabMaxName + 1] = {};
};

}  // namespace

void setError(FdiContextData& context, int code) {
    if (!context.error) return;
    context.error->ErrorCode = code;
    context.error->ErrorType = 0;
    context.error->ErrorPresent = code != FDIERROR_NONE;
}

bool runFdiCopy(FdiContextData& context, const char* cabinetName, const char* cabinetPath,
                FdiNotifyFn notify, void* user) {
    int error = CopyPass(context, notify, user).run(cabinetName, cabinetPath);
    setError(context, error);
    return error == FDIERROR_NONE;
}

}  // namespace cabinet
