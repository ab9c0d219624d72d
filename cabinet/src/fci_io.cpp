#include "fci_io.h"

#include <cstring>

namespace cabinet {
namespace {

constexpr uint32_t kMaxTempSize = INT32_MAX;

}  // namespace

bool TempFile::create() {
    buffer_ = static_cast<uint8_t*>(io_.alloc.allocate(kBufferSize));
    if (!buffer_) return io_.fail(FCIERR_ALLOC_FAIL);
    if (!io_.tempFile(name_, sizeof name_, io_.user)) return io_.fail(FCIERR_TEMP_FILE);
    name_[sizeof name_ - 1] = '\0';
    int err = 0;
    handle_ = io_.open(name_, kCreateTempFlags, kCreateMode, &err, io_.user);
    if (handle_ == -1) return io_.fail(FCIERR_TEMP_FILE, err);
    filePosition_ = 0;
    return true;
}

bool TempFile::discard() {
    bool ok = true;
    int err = 0;
    if (handle_ != -1) {
        ok = io_.close(handle_, &err, io_.user) != -1;
        handle_ = -1;
        ok = io_.remove(name_, &err, io_.user) != -1 && ok;
    }
    io_.alloc.deallocate(buffer_);
    buffer_ = nullptr;
    bufferStart_ = size_ = 0;
    return ok;
}

bool TempFile::append(const void* data, uint32_t count) {
    if (count > kMaxTempSize - size_) return io_.fail(FCIERR_CAB_FORMAT_LIMIT);
    if (size_ - bufferStart_ + count > kBufferSize) {
        if (!flush()) return false;
        if (count >= kBufferSize) {
            if (!seekTo(size_) || !writeThrough(data, count)) return false;
            size_ += count;
            bufferStart_ = size_;
            return true;
        }
    }
    std::memcpy(buffer_ + (size_ - bufferStart_), data, count);
    size_ += count;
    return true;
}

bool TempFile::patch(uint32_t position, const void* data, uint32_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (position < bufferStart_) {
        uint32_t onDisk = bufferStart_ - position < count ? bufferStart_ - position : count;
        if (!seekTo(position) || !writeThrough(bytes, onDisk)) return false;
        position += onDisk;
        bytes += onDisk;
        count -= onDisk;
    }
    if (count) std::memcpy(buffer_ + (position - bufferStart_), bytes, count);
    return true;
}

bool TempFile::truncate(uint32_t newSize) {
    if (newSize > size_) return io_.fail(FCIERR_TEMP_FILE);
    if (newSize < bufferStart_) bufferStart_ = newSize;
    size_ = newSize;
    return true;
}

bool TempFile::readAt(uint32_t position, void* data, uint32_t count) {
    if (position > size_ || count > size_ - position) return io_.fail(FCIERR_TEMP_FILE);
    auto* bytes = static_cast<uint8_t*>(data);
    if (position < bufferStart_) {
        uint32_t onDisk = bufferStart_ - position < count ? bufferStart_ - position : count;
        if (!seekTo(position)) return false;
        for (uint32_t done = 0; done < onDisk;) {
            int err = 0;
            uint32_t got = io_.read(handle_, bytes + done, onDisk - done, &err, io_.user);
            if (got == UINT32_MAX || got == 0) {
                filePosition_ = UINT32_MAX;
                return io_.fail(FCIERR_TEMP_FILE, err);
            }
            done += got;
            filePosition_ += got;
        }
        position += onDisk;
        bytes += onDisk;
        count -= onDisk;
    }
    if (count) std::memcpy(bytes, buffer_ + (position - bufferStart_), count);
    return true;
}

bool TempFile::flush() {
    uint32_t pending = size_ - bufferStart_;
    if (pending == 0) return true;
    if (!seekTo(bufferStart_) || !writeThrough(buffer_, pending)) return false;
    bufferStart_ = size_;
    return true;
}

bool TempFile::seekTo(uint32_t position) {
    if (filePosition_ == position) return true;
    int err = 0;
    int32_t reached = io_.seek(handle_, static_cast<int32_t>(position), 0, &err, io_.user);
    if (reached != static_cast<int32_t>(position)) {
        filePosition_ = UINT32_MAX;
        return io_.fail(FCIERR_TEMP_FILE, err);
    }
    filePosition_ = position;
    return true;
}

bool TempFile::writeThrough(const void* data, uint32_t count) {
    int err = 0;
    uint32_t written = io_.write(handle_, const_cast<void*>(data), count, &err, io_.user);
    if (written != count) {
        filePosition_ = UINT32_MAX;
        return io_.fail(FCIERR_TEMP_FILE, err);
    }
    filePosition_ += count;
    return true;
}

bool TempReader::read(void* data, uint32_t count) {
    auto* bytes = static_cast<uint8_t*>(data);
    while (count) {
        if (next_ == end_ && !refill()) return false;
        uint32_t take = end_ - next_ < count ? end_ - next_ : count;
        std::memcpy(bytes, buffer_ + next_, take);
        next_ += take;
        bytes += take;
        count -= take;
    }
    return true;
}

bool TempReader::readString(char* text, uint32_t capacity) {
    for (uint32_t i = 0; i < capacity; ++i) {
        if (next_ == end_ && !refill()) return false;
        text[i] = static_cast<char>(buffer_[next_++]);
        if (text[i] == '\0') return true;
    }
    return file_.failCorrupt();
}

bool TempReader::refill() {
    uint32_t left = file_.size() > position_ ? file_.size() - position_ : 0;
    uint32_t take = left < capacity_ ? left : capacity_;
    if (take == 0) return file_.failCorrupt();
    if (!file_.readAt(position_, buffer_, take)) return false;
    position_ += take;
    next_ = 0;
    end_ = take;
    return true;
}

}  // namespace cabinet
