#include "byte_queue.h"

#include <cstring>

namespace cabinet {

bool ByteQueue::append(const uint8_t* bytes, size_t count) {
    if (count == 0) return true;
    if (!makeRoom(count)) return false;
    std::memcpy(data_ + end_, bytes, count);
    end_ += count;
    return true;
}

bool ByteQueue::makeRoom(size_t count) {
    if (capacity_ - end_ >= count) return true;
    size_t live = size();
    if (capacity_ - live >= count && begin_ > 0) {
        std::memmove(data_, data_ + begin_, live);
        begin_ = 0;
        end_ = live;
        return true;
    }
    size_t wanted = capacity_ ? capacity_ : 65536;
    while (wanted - live < count) {
        if (wanted > SIZE_MAX / 2) return false;
        wanted *= 2;
    }
    auto* grown = static_cast<uint8_t*>(alloc_.allocate(wanted));
    if (!grown) return false;
    if (live) std::memcpy(grown, data_ + begin_, live);
    alloc_.deallocate(data_);
    data_ = grown;
    capacity_ = wanted;
    begin_ = 0;
    end_ = live;
    return true;
}

}  // namespace cabinet
