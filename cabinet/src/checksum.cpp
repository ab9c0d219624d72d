#include "checksum.h"

#include <bit>
#include <cstring>

namespace cabinet {

namespace {

uint64_t loadLE64(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

}  // namespace

uint32_t cabChecksum(const uint8_t* data, size_t size, uint32_t seed) {
    // XOR is order-free within aligned words, so fold 32 bytes at a time into independent
    // lanes and halve the 64-bit result at the end.
    uint64_t lanes[4] = {};
    size_t i = 0;
    for (; i + 32 <= size; i += 32) {
        for (int lane = 0; lane < 4; ++lane) lanes[lane] ^= loadLE64(data + i + 8 * lane);
    }
    uint64_t wide = lanes[0] ^ lanes[1] ^ lanes[2] ^ lanes[3];
    for (; i + 8 <= size; i += 8) wide ^= loadLE64(data + i);
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

uint32_t dataBlockChecksum(const uint8_t* data, size_t dataSize, const uint8_t* sizes) {
    return cabChecksum(sizes, 4, cabChecksum(data, dataSize, 0));
}

}  // namespace cabinet
