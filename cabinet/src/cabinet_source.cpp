#include "cabinet_source.h"

#include <cstring>

namespace cabinet {

namespace {

constexpr uint32_t kFirstDirectoryRead = 4096;
// The largest directory the format allows (every name and reserved area at its limit) fits.
constexpr size_t kMaxDirectory = size_t{64} << 20;

uint64_t fnv1a(uint64_t hash, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) hash = (hash ^ p[i]) * 0x100000001B3ull;
    return hash;
}

int errorFor(ParseStatus status) {
    switch (status) {
        case ParseStatus::ok:
            return FDIERROR_NONE;
        case ParseStatus::notCabinet:
            return FDIERROR_NOT_A_CABINET;
        case ParseStatus::badVersion:
            return FDIERROR_UNKNOWN_CABINET_VERSION;
        case ParseStatus::truncated:
        case ParseStatus::corrupt:
            break;
    }
    return FDIERROR_CORRUPT_CABINET;
}

}  // namespace

void CabinetSource::attach(const Allocator* alloc, const FdiIo* io, uint8_t* readBuffer,
                           uint32_t size) {
    alloc_ = alloc;
    io_ = io;
    buffer_ = readBuffer;
    bufferSize_ = size;
}

int CabinetSource::open(const char* path) {
    close();
    handle_ = io_->open(const_cast<char*>(path), CAB_O_RDONLY | CAB_O_BINARY, CAB_S_IREAD);
    if (handle_ == kNoHandle) return FDIERROR_CABINET_NOT_FOUND;
    int error = readDirectory();
    if (error != FDIERROR_NONE) {
        close();
        bufferFill_ = 0;
        return error;
    }
    computeIdentity(path);
    // The buffered blocks stay good for the same, unchanged cabinet opened again: a pass that
    // resumes inside a folder need not read them twice.
    if (identity_ != bufferIdentity_) bufferFill_ = 0;
    return FDIERROR_NONE;
}

void CabinetSource::close() {
    if (handle_ != kNoHandle) {
        io_->close(handle_);
        bufferIdentity_ = identity_;
    }
    handle_ = kNoHandle;
    identity_ = 0;
    if (alloc_) {
        alloc_->deallocate(directory_);
        alloc_->deallocate(folders_);
        alloc_->deallocate(files_);
    }
    directory_ = nullptr;
    folders_ = nullptr;
    files_ = nullptr;
    directorySize_ = 0;
    header_ = CabHeader{};
}

// Reads the leading bytes of the file, more each time, until the whole directory is in memory.
int CabinetSource::readDirectory() {
    filePosition_ = kUnknownPosition;
    size_t want = kFirstDirectoryRead;
    for (;;) {
        alloc_->deallocate(directory_);
        directory_ = static_cast<uint8_t*>(alloc_->allocate(want));
        directorySize_ = 0;
        if (!directory_) return FDIERROR_ALLOC_FAIL;
        if (io_->seek(handle_, 0, kSeekSet) != 0) return FDIERROR_CORRUPT_CABINET;
        uint32_t got = io_->read(handle_, directory_, static_cast<uint32_t>(want));
        if (got == UINT32_MAX || got > want) return FDIERROR_CORRUPT_CABINET;
        directorySize_ = got;
        size_t end = 0;
        ParseStatus status = measureCabDirectory(directory_, got, end);
        if (status == ParseStatus::ok) return parseDirectory(end);
        if (status != ParseStatus::truncated) return errorFor(status);
        if (got < kCabHeaderSize) {
            return got >= 4 ? FDIERROR_CORRUPT_CABINET : FDIERROR_NOT_A_CABINET;
        }
        if (got < want || want >= kMaxDirectory) return FDIERROR_CORRUPT_CABINET;
        want *= 4;
    }
}

int CabinetSource::parseDirectory(size_t directoryEnd) {
    directoryEnd_ = directoryEnd;
    if (auto s = parseCabHeader(directory_, directorySize_, header_); s != ParseStatus::ok)
        return errorFor(s);
    if (header_.folderCount > 0) {
        folders_ =
            static_cast<CabFolder*>(alloc_->allocate(sizeof(CabFolder) * header_.folderCount));
        if (!folders_) return FDIERROR_ALLOC_FAIL;
    }
    for (unsigned i = 0; i < header_.folderCount; ++i) {
        folders_[i] = CabFolder{};
        if (auto s = parseCabFolder(directory_, directorySize_, header_, i, folders_[i]);
            s != ParseStatus::ok)
            return errorFor(s);
    }
    if (header_.fileCount > 0) {
        files_ = static_cast<CabFile*>(alloc_->allocate(sizeof(CabFile) * header_.fileCount));
        if (!files_) return FDIERROR_ALLOC_FAIL;
    }
    size_t offset = header_.filesStart();
    continuesFromPrev_ = continuesToNext_ = false;
    for (unsigned i = 0; i < header_.fileCount; ++i) {
        files_[i] = CabFile{};
        if (auto s = parseCabFile(directory_, directorySize_, offset, files_[i], offset);
            s != ParseStatus::ok)
            return errorFor(s);
        uint16_t folder = files_[i].folder;
        if (folder == kFolderContinuedFromPrev || folder == kFolderContinuedPrevAndNext)
            continuesFromPrev_ = true;
        if (folder == kFolderContinuedToNext || folder == kFolderContinuedPrevAndNext)
            continuesToNext_ = true;
    }
    continuesFromPrev_ = continuesFromPrev_ && header_.hasPrev() && header_.folderCount > 0;
    continuesToNext_ = continuesToNext_ && header_.hasNext() && header_.folderCount > 0;
    return FDIERROR_NONE;
}

void CabinetSource::computeIdentity(const char* path) {
    uint64_t hash = 0xCBF29CE484222325ull;
    hash = fnv1a(hash, path, std::strlen(path) + 1);
    int32_t size = io_->seek(handle_, 0, kSeekEnd);
    filePosition_ = kUnknownPosition;
    hash = fnv1a(hash, &size, sizeof size);
    identity_ = fnv1a(hash, directory_, directoryEnd_);
}

const uint8_t* CabinetSource::view(uint64_t offset, uint32_t size) {
    if (offset >= bufferOffset_ && offset + size <= bufferOffset_ + bufferFill_)
        return buffer_ + (offset - bufferOffset_);
    if (size > bufferSize_ || offset + size > uint64_t{INT32_MAX}) return nullptr;
    bufferFill_ = 0;
    // Blocks are read in order, so the file usually stands where the last read ended already.
    if (offset != filePosition_) {
        filePosition_ = kUnknownPosition;
        if (io_->seek(handle_, static_cast<int32_t>(offset), kSeekSet) !=
            static_cast<int32_t>(offset))
            return nullptr;
    }
    uint32_t got = io_->read(handle_, buffer_, bufferSize_);
    if (got == UINT32_MAX || got > bufferSize_) {
        filePosition_ = kUnknownPosition;
        return nullptr;
    }
    filePosition_ = offset + got;
    bufferOffset_ = offset;
    bufferFill_ = got;
    return got >= size ? buffer_ : nullptr;
}

}  // namespace cabinet
