// One cabinet file opened through the caller's callbacks: its directory (header, folders,
// files) read into memory, and a read buffer for its data blocks.
#pragma once

#include <cstdint>

#include "allocator.h"
#include "cab_format.h"
#include "fdi_io.h"

namespace cabinet {

class CabinetSource {
public:
    CabinetSource() = default;
    CabinetSource(const CabinetSource&) = delete;
    CabinetSource& operator=(const CabinetSource&) = delete;
    ~CabinetSource() { close(); }

    // The source reads through `io`, takes memory from `alloc`, and buffers data-block reads in
    // `readBuffer` (owned by the caller, kept for the source's lifetime).
    void attach(const Allocator* alloc, const FdiIo* io, uint8_t* readBuffer, uint32_t size);

    // Opens the file and reads its directory. Answers an FDIERROR value (FDIERROR_NONE on
    // success); on failure nothing stays open.
    int open(const char* path);
    void close();
    bool isOpen() const { return handle_ != kNoHandle; }

    const CabHeader& header() const { return header_; }
    const CabFolder& folder(unsigned index) const { return folders_[index]; }
    const CabFile& file(unsigned index) const { return files_[index]; }

    // A fingerprint of the file's name, size and directory: equal fingerprints on two openings
    // mean the same cabinet, unchanged as far as its directory shows.
    uint64_t identity() const { return identity_; }

    // Whether the first folder carries on a folder of the previous cabinet, and whether the last
    // folder goes on in the next one.
    bool continuesFromPrev() const { return continuesFromPrev_; }
    bool continuesToNext() const { return continuesToNext_; }

    // `size` bytes at `offset` of the file, valid until the next view(); null when the file
    // ends before them or the read fails. `size` may not exceed the read buffer.
    const uint8_t* view(uint64_t offset, uint32_t size);

private:
    int readDirectory();
    int parseDirectory(size_t directoryEnd);
    void computeIdentity(const char* path);

    const Allocator* alloc_ = nullptr;
    const FdiIo* io_ = nullptr;
    uint8_t* buffer_ = nullptr;
    uint32_t bufferSize_ = 0;
    uint64_t bufferOffset_ = 0;
    uint32_t bufferFill_ = 0;
    uint64_t bufferIdentity_ = 0;  // the cabinet whose bytes the buffer holds
    static constexpr uint64_t kUnknownPosition = ~uint64_t{0};
    uint64_t filePosition_ = kUnknownPosition;  // where the handle stands, when known

    CabHandle handle_ = kNoHandle;
    uint8_t* directory_ = nullptr;
    size_t directorySize_ = 0;
    size_t directoryEnd_ = 0;
    CabHeader header_{};
    CabFolder* folders_ = nullptr;
    CabFile* files_ = nullptr;
    uint64_t identity_ = 0;
    bool continuesFromPrev_ = false;
    bool continuesToNext_ = false;
};

}  // namespace cabinet
