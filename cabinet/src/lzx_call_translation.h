// x86 CALL translation: the 32-bit operand after each E8 byte is turned from relative to
// absolute, so that calls to one function repeat byte for byte. The decoder undoes it frame by
// frame, so the encoder does it frame by frame too, on the same positions.
#pragma once

#include <cstdint>

#include "lzx_tables.h"

namespace cabinet::lzx {

// The "file size" the stream header announces; operands are translated when they point into
// [-position, kTranslationSize).
constexpr int64_t kTranslationSize = 12000000;

inline void translateCalls(uint8_t* frame, uint32_t size, uint32_t framePos) {
    if (framePos >= kE8MaxOutput || size <= 10) return;
    for (uint32_t i = 0; i < size - 10;) {
        if (frame[i] != 0xE8) {
            ++i;
            continue;
        }
        uint8_t* operand = frame + i + 1;
        const auto relative =
            static_cast<int32_t>(operand[0] | (uint32_t{operand[1]} << 8) |
                                 (uint32_t{operand[2]} << 16) | (uint32_t{operand[3]} << 24));
        const int64_t position = int64_t{framePos} + i;
        if (relative >= -position && relative < kTranslationSize) {
            const int64_t absolute = relative < kTranslationSize - position
                                         ? relative + position
                                         : relative - kTranslationSize;
            const auto value = static_cast<uint32_t>(absolute);
            for (unsigned b = 0; b < 4; ++b) operand[b] = static_cast<uint8_t>(value >> (8 * b));
        }
        i += 5;
    }
}

}  // namespace cabinet::lzx
