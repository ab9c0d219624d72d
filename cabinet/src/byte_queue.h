// A growable first-in first-out byte buffer whose memory comes from the caller's allocator.
// Encoders keep the input they have not yet turned into blocks here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "allocator.h"

namespace cabinet {

class ByteQueue {
public:
    explicit ByteQueue(const Allocator& alloc) : alloc_(alloc) {}
    ~ByteQueue() { alloc_.deallocate(data_); }
    ByteQueue(const ByteQueue&) = delete;
    ByteQueue& operator=(const ByteQueue&) = delete;

    // False when the allocator refused the memory; the queue is then unchanged.
    bool append(const uint8_t* bytes, size_t count);
    const uint8_t* front() const { return data_ + begin_; }
    size_t size() const { return end_ - begin_; }
    // Drops `count` bytes from the front. The memory stays valid until the next append.
    void consume(size_t count) { begin_ += count < size() ? count : size(); }
    void clear() { begin_ = end_ = 0; }

private:
    bool makeRoom(size_t count);

    Allocator alloc_;
    uint8_t* data_ = nullptr;
    size_t begin_ = 0;
    size_t end_ = 0;
    size_t capacity_ = 0;
};

}  // namespace cabinet
