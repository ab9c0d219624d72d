#include "fci_folder.h"

#include "block_decoder.h"

namespace cabinet {
namespace {

BlockEncoder* createEncoder(const Allocator& alloc, TCOMP compression) {
    switch (compression & tcompMASK_TYPE) {
        case tcompTYPE_NONE:
            return createStoredEncoder(alloc);
        case tcompTYPE_MSZIP:
            return createMszipEncoder(alloc);
        case tcompTYPE_LZX:
            return createLzxEncoder(alloc,
                                    (compression & tcompMASK_LZX_WINDOW) >> tcompSHIFT_LZX_WINDOW);
        default:
            return nullptr;
    }
}

}  // namespace

bool isWritableCompression(TCOMP compression) {
    switch (compression & tcompMASK_TYPE) {
        case tcompTYPE_NONE:
        case tcompTYPE_MSZIP:
            return (compression & ~tcompMASK_TYPE) == 0;
        case tcompTYPE_LZX: {
            unsigned bits = (compression & tcompMASK_LZX_WINDOW) >> tcompSHIFT_LZX_WINDOW;
            return (compression & ~(tcompMASK_TYPE | tcompMASK_LZX_WINDOW)) == 0 &&
                   bits >= (tcompLZX_WINDOW_LO >> tcompSHIFT_LZX_WINDOW) &&
                   bits <= (tcompLZX_WINDOW_HI >> tcompSHIFT_LZX_WINDOW);
        }
        default:
            return false;
    }
}

FolderBuilder::~FolderBuilder() {
    discard();
}

bool FolderBuilder::create() {
    input_ = static_cast<uint8_t*>(io_.alloc.allocate(kMaxBlockOutput));
    if (!input_) return io_.fail(FCIERR_ALLOC_FAIL);
    return blocks_.create() && files_.create();
}

bool FolderBuilder::discard() {
    destroyEncoder(io_.alloc, encoder_);
    encoder_ = nullptr;
    io_.alloc.deallocate(input_);
    input_ = nullptr;
    bool blocksGone = blocks_.discard();
    return files_.discard() && blocksGone;
}

bool FolderBuilder::begin(TCOMP compression) {
    if (encoder_ && compression == compression_) return true;
    destroyEncoder(io_.alloc, encoder_);
    encoder_ = createEncoder(io_.alloc, compression);
    if (!encoder_) return io_.fail(FCIERR_ALLOC_FAIL);
    compression_ = compression;
    return true;
}

bool FolderBuilder::addFile(CabHandle source, const char* storedName, uint16_t date, uint16_t time,
                            uint16_t attributes) {
    PendingFile file;
    file.offset = uncompressed_;
    file.date = date;
    file.time = time;
    file.attributes = attributes;
    for (;;) {
        int err = 0;
        uint32_t got = io_.read(source, input_, kMaxBlockOutput, &err, io_.user);
        if (got == UINT32_MAX || got > kMaxBlockOutput) return io_.fail(FCIERR_READ_SRC, err);
        if (got == 0) break;
        if (got > kMaxFolderBytes - uncompressed_) return io_.fail(FCIERR_CAB_FORMAT_LIMIT);
        if (!encoder_->write(input_, got)) return io_.fail(FCIERR_ALLOC_FAIL);
        uncompressed_ += got;
        file.size += got;
        if (!drain()) return false;
    }
    uint8_t fixed[14];
    storeLE32(fixed, file.size);
    storeLE32(fixed + 4, file.offset);
    storeLE16(fixed + 8, file.date);
    storeLE16(fixed + 10, file.time);
    storeLE16(fixed + 12, file.attributes);
    uint32_t nameBytes = 0;
    while (storedName[nameBytes] != '\0') ++nameBytes;
    if (!files_.append(fixed, sizeof fixed) || !files_.append(storedName, nameBytes + 1)) {
        return false;
    }
    ++fileCount_;
    return true;
}

bool FolderBuilder::finish() {
    if (!encoder_) return true;
    if (!encoder_->finish()) return io_.fail(FCIERR_ALLOC_FAIL);
    if (!drain()) return false;
    // Every byte handed in must have come out; anything else is a fault of the encoder.
    if (blockOutput_ != uncompressed_) return io_.fail(FCIERR_MCI_FAIL);
    return true;
}

bool FolderBuilder::clear() {
    if (encoder_) encoder_->reset();
    uncompressed_ = blockOutput_ = framedSize_ = blockCount_ = fileCount_ = 0;
    return blocks_.truncate(0) && files_.truncate(0);
}

bool FolderBuilder::drain() {
    EncodedBlock block;
    while (encoder_->nextBlock(block)) {
        bool storedMethod = (compression_ & tcompMASK_TYPE) == tcompTYPE_NONE;
        if (block.uncompressedSize == 0 || block.uncompressedSize > kMaxBlockOutput ||
            block.compressedSize == 0 || block.compressedSize > kMaxBlockInput) {
            return io_.fail(FCIERR_MCI_FAIL);
        }
        if (failOnIncompressible_ && !storedMethod &&
            block.compressedSize >= block.uncompressedSize) {
            return io_.fail(FCIERR_MCI_FAIL);
        }
        uint8_t header[kBlockRecordHeader];
        storeLE16(header, block.compressedSize);
        storeLE16(header + 2, block.uncompressedSize);
        if (!blocks_.append(header, sizeof header) ||
            !blocks_.append(block.data, block.compressedSize)) {
            return false;
        }
        ++blockCount_;
        blockOutput_ += block.uncompressedSize;
        framedSize_ +=
            static_cast<uint32_t>(kCabDataHeaderSize) + dataReserve_ + block.compressedSize;
        if (!io_.reportStatus(statusFile, block.compressedSize, block.uncompressedSize)) {
            return false;
        }
    }
    return true;
}

}  // namespace cabinet
