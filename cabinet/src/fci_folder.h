// The folder being filled: its members' bytes go through the folder's encoder, and the
// resulting data blocks and the members' records wait in temporary files until the folder
// is complete and laid out into cabinets.
#pragma once

#include <cstdint>

#include "block_encoder.h"
#include "fci_io.h"
#include "fci_records.h"

namespace cabinet {

class FolderBuilder {
public:
    explicit FolderBuilder(FciIo& io) : io_(io), blocks_(io), files_(io) {}
    ~FolderBuilder();
    FolderBuilder(const FolderBuilder&) = delete;
    FolderBuilder& operator=(const FolderBuilder&) = delete;

    bool create();
    bool discard();

    // Prepares an encoder for `compression` unless the folder already uses it.
    bool begin(TCOMP compression);
    bool isOpen() const { return encoder_ != nullptr && fileCount_ > 0; }
    TCOMP compression() const { return compression_; }
    uint32_t uncompressedSize() const { return uncompressed_; }
    // The data blocks' bytes as they will stand in a cabinet, headers included.
    uint32_t framedSize() const { return framedSize_; }
    uint32_t blockCount() const { return blockCount_; }
    uint32_t fileCount() const { return fileCount_; }
    // Input the encoder holds that has not come out as blocks yet.
    uint32_t heldBack() const { return uncompressed_ - blockOutput_; }
    // What the members' records will take in a cabinet.
    uint32_t recordBytes() const { return files_.size() + 2 * fileCount_; }

    // Reads the member through the read callback and compresses it into the folder.
    bool addFile(CabHandle source, const char* storedName, uint16_t date, uint16_t time,
                 uint16_t attributes);
    // Pushes out every block still held by the encoder.
    bool finish();
    // Empties the folder for the next one (the encoder is kept).
    bool clear();

    TempFile& blocks() { return blocks_; }
    TempFile& files() { return files_; }

    void setDataReserve(uint32_t bytes) { dataReserve_ = bytes; }
    void setFailOnIncompressible(bool fail) { failOnIncompressible_ = fail; }

private:
    bool drain();

    FciIo& io_;
    TempFile blocks_;
    TempFile files_;
    BlockEncoder* encoder_ = nullptr;
    TCOMP compression_ = tcompTYPE_NONE;
    uint8_t* input_ = nullptr;
    uint32_t uncompressed_ = 0;  // bytes handed to the encoder
    uint32_t blockOutput_ = 0;   // bytes that came out as blocks
    uint32_t framedSize_ = 0;
    uint32_t blockCount_ = 0;
    uint32_t fileCount_ = 0;
    uint32_t dataReserve_ = 0;
    bool failOnIncompressible_ = false;
};

// True for the compression codes this library can write.
bool isWritableCompression(TCOMP compression);

}  // namespace cabinet
