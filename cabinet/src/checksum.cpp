#include "checksum.h"

namespace cabinet {

uint32_t cabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
    // XOR is order-free within aligned words, so fold 8 bytes at a time and halve at the end.
    uint64_t wide = 0;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word = 0;
        for (int b = 7; b >= 0; --b) word = word << 8 | data[i + b];  // little-endian load
        wide ^= word;
    }
    uint32_t sum = seed ^ static_cast<uint32_t>(wide) ^ static_cast<uint32_t>(wide >> 32);
    if (i + 4 <= size) {
        sum ^= static_cast<uint32_t>(data[i]) | static_cast<uint32_t>(data[i + 1]) << 8 |
               static_cast<uint32_t>(data[i + 2]) << 16 | static_cast<uint32_t>(data[i + 3]) << 24;
        i += 4;
    }
    uint32_t tail = 0;
    for (; i < size; ++i) tail = tail << 8 | data[i];
    return sum ^ tail;
}

uint32_t dataBlockChecksum(const uint8_t* payload, size_t payloadSize, const uint8_t* sizes) {
    return cabChecksum(sizes, 4, cabChecksum(payload, payloadSize, 0));
}

}  // namespace cabinet
