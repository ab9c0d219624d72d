// The parse of a frame: literals and matches, and how a match is coded against the repeated
// offsets.
#pragma once

#include <cstdint>

#include "lzx_tables.h"

namespace cabinet::lzx {

struct Item {
    uint32_t offset;  // matches only: the distance back
    uint16_t length;  // 1 for a literal, 2..257 for a match
    uint8_t literal;
};

// R0, R1, R2: the three most recent offsets, most recent first.
struct RepeatedOffsets {
    uint32_t r[3] = {1, 1, 1};
};

struct CodedMatch {
    unsigned mainSymbol;
    unsigned lengthSymbol;  // kNoLengthSymbol when the main symbol carries the whole length
    uint32_t footer;        // offset bits below the slot's base
    unsigned footerBits;
};
constexpr unsigned kNoLengthSymbol = ~0u;

// Codes a match and updates the repeated offsets as the decoder will.
inline CodedMatch codeMatch(uint32_t length, uint32_t offset, RepeatedOffsets& reps) {
    unsigned slot;
    uint32_t footer = 0;
    if (offset == reps.r[0]) {
        slot = 0;
    } else if (offset == reps.r[1]) {
        slot = 1;
        reps.r[1] = reps.r[0];
        reps.r[0] = offset;
    } else if (offset == reps.r[2]) {
        slot = 2;
        reps.r[2] = reps.r[0];
        reps.r[0] = offset;
    } else {
        slot = positionSlotOf(offset + 2);
        footer = offset + 2 - kPositionSlots.base[slot];
        reps.r[2] = reps.r[1];
        reps.r[1] = reps.r[0];
        reps.r[0] = offset;
    }
    const unsigned header = length - kMinMatch < 7 ? length - kMinMatch : 7;
    return {kNumChars + slot * 8 + header, header == 7 ? length - kMinMatch - 7 : kNoLengthSymbol,
            footer, kPositionSlots.extraBits[slot]};
}

}  // namespace cabinet::lzx
