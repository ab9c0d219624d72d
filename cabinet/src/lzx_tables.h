// Constants of the LZX format shared by the decoder and the encoder.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace cabinet::lzx {

constexpr unsigned kMinWindowBits = 15;
constexpr unsigned kMaxWindowBits = 21;

constexpr unsigned kNumChars = 256;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kMaxMatch = 257;
constexpr unsigned kNumPrimaryLengths = 7;  // length header values 0..6 in the main symbol
constexpr unsigned kNumSecondaryLengths = 249;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kPretreeLengthBits = 4;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kAlignedLengthBits = 3;
constexpr unsigned kMaxCodeLength = 16;

constexpr unsigned kFrameSize = 32768;
constexpr uint32_t kE8MaxOutput = 0x40000000;  // call translation stops after the first 1 GB

enum BlockType : unsigned { kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

// Position slots cover the window: 15 bits -> 30 slots ... 21 bits -> 50 slots.
constexpr unsigned positionSlots(unsigned windowBits) {
    return windowBits == 20 ? 42 : windowBits == 21 ? 50 : windowBits * 2;
}
constexpr unsigned kMaxPositionSlots = 50;
constexpr unsigned mainTreeSymbols(unsigned windowBits) {
    return kNumChars + positionSlots(windowBits) * 8;
}
constexpr unsigned kMaxMainTreeSymbols = kNumChars + kMaxPositionSlots * 8;

// Extra bits and base of each position slot (the formatted offset, i.e. offset + 2).
struct PositionSlotTables {
    std::array<uint8_t, kMaxPositionSlots> extraBits{};
    std::array<uint32_t, kMaxPositionSlots> base{};
};

constexpr PositionSlotTables makePositionSlotTables() {
    PositionSlotTables t;
    uint32_t base = 0;
    for (unsigned slot = 0; slot < kMaxPositionSlots; ++slot) {
        unsigned extra = slot < 4 ? 0 : (slot - 2) / 2;
        if (extra > 17) extra = 17;
        t.extraBits[slot] = static_cast<uint8_t>(extra);
        t.base[slot] = base;
        base += 1u << extra;
    }
    return t;
}
inline constexpr PositionSlotTables kPositionSlots = makePositionSlotTables();

static_assert(kPositionSlots.base[4] == 4 && kPositionSlots.base[36] == 262144);
static_assert(kPositionSlots.extraBits[49] == 17 && kPositionSlots.base[49] == 1966080);

// The position slot of a formatted offset (offset + 2; 0..2 stand for the repeated offsets).
inline unsigned positionSlotOf(uint32_t formatted) {
    if (formatted < 4) return formatted;
    if (formatted >= kPositionSlots.base[36])
        return 36 + ((formatted - kPositionSlots.base[36]) >> 17);
    const unsigned top = static_cast<unsigned>(std::bit_width(formatted)) - 1;
    return 2 * top + ((formatted >> (top - 1)) & 1);
}

}  // namespace cabinet::lzx
