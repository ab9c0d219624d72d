// Copies an LZ match inside the decoder window, whole words at a time.
//
// The copies may write up to kMatchCopySlack bytes past the end of the match and read as far
// past its source: the window keeps that much spare room, and the bytes beyond the match are
// overwritten by later output before anything reads them.
#pragma once

#include <cstdint>
#include <cstring>

namespace cabinet::lzx {

constexpr uint32_t kMatchCopySlack = 32;

inline void copy8(uint8_t* dst, const uint8_t* src) {
    std::memcpy(dst, src, 8);
}
inline void copy16(uint8_t* dst, const uint8_t* src) {
    std::memcpy(dst, src, 16);
}

// Copies `length` bytes from a source that does not overlap the destination's first 32 bytes
// or more (distance of at least 32, or a source ahead of the destination).
inline void copyFar(uint8_t* dst, const uint8_t* src, uint32_t length) {
    uint8_t* const end = dst + length;
    do {
        copy16(dst, src);
        copy16(dst + 16, src + 16);
        dst += 32;
        src += 32;
    } while (dst < end);
}

// Copies `length` bytes from `distance` bytes back; overlapping copies repeat the pattern.
inline void copyMatch(uint8_t* dst, uint32_t distance, uint32_t length) {
    const uint8_t* src = dst - distance;
    if (distance >= 32) {
        copyFar(dst, src, length);
        return;
    }
    uint8_t* const end = dst + length;
    if (distance >= 16) {
        do {
            copy16(dst, src);
            dst += 16;
            src += 16;
        } while (dst < end);
    } else if (distance >= 8) {
        do {
            copy8(dst, src);
            dst += 8;
            src += 8;
        } while (dst < end);
    } else if (distance == 1) {
        std::memset(dst, *src, length);
    } else {
        // A period under 8: lay down one stretch of at least 8 bytes by hand, then copy words
        // from a whole number of periods back, which repeats the same pattern.
        uint32_t step = distance;
        while (step < 8) step += distance;
        uint32_t first = length < step ? length : step;
        for (uint32_t i = 0; i < first; ++i) dst[i] = src[i];
        for (uint8_t* d = dst + first; d < end; d += 8) copy8(d, d - step);
    }
}

}  // namespace cabinet::lzx
