// How the compressor reaches the outside world: the caller's callbacks, wrapped so that every
// failure lands in the caller's error record with the matching FCI error code.
#pragma once

#include <cstdint>

#include "allocator.h"
#include "cabinet.h"

namespace cabinet {

struct FciIo {
    CabErrorRecord* error = nullptr;
    void* user = nullptr;
    Allocator alloc;
    FciFilePlacedFn filePlaced = nullptr;
    FciOpenFn open = nullptr;
    FciReadFn read = nullptr;
    FciWriteFn write = nullptr;
    FciCloseFn close = nullptr;
    FciSeekFn seek = nullptr;
    FciDeleteFn remove = nullptr;
    FciGetTempFileFn tempFile = nullptr;
    // Handed to each FCIAddFile / FCIFlushFolder / FCIFlushCabinet call.
    FciGetNextCabinetFn getNextCabinet = nullptr;
    FciStatusFn status = nullptr;

    // Records the failure in the caller's error record; always answers false.
    bool fail(int code, int detail = 0) const {
        error->ErrorCode = code;
        error->ErrorType = detail;
        error->ErrorPresent = 1;
        return false;
    }
    // The status callback; false (with FCIERR_USER_ABORT) when the caller answers -1.
    bool reportStatus(unsigned type, uint32_t cb1, uint32_t cb2) const {
        if (status && status(type, cb1, cb2, user) == -1) return fail(FCIERR_USER_ABORT);
        return true;
    }
};

// Open flags and permissions for files the library creates.
constexpr int kCreateFlags = CAB_O_RDWR | CAB_O_CREAT | CAB_O_TRUNC | CAB_O_BINARY;
constexpr int kCreateTempFlags = CAB_O_RDWR | CAB_O_CREAT | CAB_O_EXCL | CAB_O_BINARY;
constexpr int kCreateMode = CAB_S_IREAD | CAB_S_IWRITE;

// A scratch file named by the caller's temporary-file callback, written through a buffer and
// read back at any position. Failures answer false with FCIERR_TEMP_FILE recorded. Positions
// stay below 2 GB, the reach of the seek callback; beyond that FCIERR_CAB_FORMAT_LIMIT.
class TempFile {
public:
    explicit TempFile(FciIo& io) : io_(io) {}
    ~TempFile() { discard(); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool create();
    // Closes and deletes the file; answers false when either step failed.
    bool discard();

    uint32_t size() const { return size_; }
    bool append(const void* data, uint32_t count);
    // Overwrites bytes already written.
    bool patch(uint32_t position, const void* data, uint32_t count);
    // Forgets everything from `newSize` on (the file keeps its length on disk).
    bool truncate(uint32_t newSize);
    bool readAt(uint32_t position, void* data, uint32_t count);
    // Records a temporary file that does not hold what it should; answers false.
    bool failCorrupt() const { return io_.fail(FCIERR_TEMP_FILE); }

private:
    static constexpr uint32_t kBufferSize = 65536;
    bool flush();
    bool seekTo(uint32_t position);
    bool writeThrough(const void* data, uint32_t count);

    FciIo& io_;
    CabHandle handle_ = -1;
    char name_[CAB_MAX_NAME] = {};
    uint8_t* buffer_ = nullptr;  // holds [bufferStart_, size_)
    uint32_t bufferStart_ = 0;
    uint32_t size_ = 0;
    uint32_t filePosition_ = UINT32_MAX;  // where the handle points; UINT32_MAX = unknown
};

// Reads a temporary file front to back through a buffer.
class TempReader {
public:
    TempReader(TempFile& file, uint8_t* buffer, uint32_t bufferSize, uint32_t start = 0)
        : file_(file), buffer_(buffer), capacity_(bufferSize), position_(start) {}

    uint32_t position() const { return position_ - (end_ - next_); }
    bool atEnd() const { return position() >= file_.size(); }
    bool read(void* data, uint32_t count);
    // Reads a zero-terminated string of at most `capacity` bytes including its zero.
    bool readString(char* text, uint32_t capacity);
    // Continues reading at `position` (as returned by position()).
    void rewind(uint32_t position) {
        position_ = position;
        next_ = end_ = 0;
    }

private:
    bool refill();

    TempFile& file_;
    uint8_t* buffer_;
    uint32_t capacity_;
    uint32_t position_;  // file position of buffer_[end_]
    uint32_t next_ = 0;
    uint32_t end_ = 0;
};

}  // namespace cabinet
