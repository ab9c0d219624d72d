// Constants of the Quantum format shared by the decoder and the test encoder.
#pragma once

#include <array>
#include <cstdint>

namespace cabinet::quantum {

constexpr unsigned kMinWindowBits = 10;
constexpr unsigned kMaxWindowBits = 21;
constexpr uint32_t kFrameSize = 32768;

// The selector chooses what follows: a literal from one of four byte ranges, or a match.
constexpr unsigned kSelectors = 7;
constexpr unsigned kLiteralModels = 4;
constexpr unsigned kLiteralsPerModel = 64;
constexpr unsigned kSelectorMatch3 = 4;  // three bytes, position from its own model
constexpr unsigned kSelectorMatch4 = 5;  // four bytes, position from its own model
constexpr unsigned kSelectorMatchN = 6;  // length slot, then position

constexpr unsigned kMaxPositionSlots = 42;  // 2 per window bit, 21 bits
constexpr unsigned kMatch3PositionSlots = 24;
constexpr unsigned kMatch4PositionSlots = 36;
constexpr unsigned kLengthSlots = 27;
constexpr unsigned kMinMatchN = 5;

constexpr unsigned positionSlots(unsigned windowBits) {
    return windowBits * 2;
}
constexpr unsigned match3PositionSlots(unsigned windowBits) {
    return positionSlots(windowBits) < kMatch3PositionSlots ? positionSlots(windowBits)
                                                            : kMatch3PositionSlots;
}
constexpr unsigned match4PositionSlots(unsigned windowBits) {
    return positionSlots(windowBits) < kMatch4PositionSlots ? positionSlots(windowBits)
                                                            : kMatch4PositionSlots;
}

// Position slots: two per power of two, each followed by its extra bits read raw.
// The distance back is base + extra + 1.
struct PositionSlotTables {
    std::array<uint32_t, kMaxPositionSlots> base{};
    std::array<uint8_t, kMaxPositionSlots> extraBits{};
};
constexpr PositionSlotTables makePositionSlots() {
    PositionSlotTables t;
    uint32_t base = 0;
    for (unsigned slot = 0; slot < kMaxPositionSlots; ++slot) {
        t.base[slot] = base;
        t.extraBits[slot] = static_cast<uint8_t>(slot < 4 ? 0 : slot / 2 - 1);
        base += 1u << t.extraBits[slot];
    }
    return t;
}
inline constexpr PositionSlotTables kPositionSlots = makePositionSlots();

// Length slots of the variable match: four per extra-bit count from 1 to 5 after six plain
// ones, and a last plain slot. The length is base + extra + kMinMatchN.
struct LengthSlotTables {
    std::array<uint16_t, kLengthSlots> base{};
    std::array<uint8_t, kLengthSlots> extraBits{};
};
constexpr LengthSlotTables makeLengthSlots() {
    LengthSlotTables t;
    uint16_t base = 0;
    for (unsigned slot = 0; slot < kLengthSlots; ++slot) {
        t.base[slot] = base;
        t.extraBits[slot] =
            static_cast<uint8_t>(slot < 6 || slot == kLengthSlots - 1 ? 0 : (slot - 2) / 4);
        base = static_cast<uint16_t>(base + (1u << t.extraBits[slot]));
    }
    return t;
}
inline constexpr LengthSlotTables kLengthSlotTable = makeLengthSlots();

constexpr unsigned kMaxMatchN = kLengthSlotTable.base[kLengthSlots - 1] + kMinMatchN;  // 259

static_assert(kPositionSlots.base[41] == 1572864 && kPositionSlots.extraBits[41] == 19);
static_assert(kPositionSlots.base[positionSlots(10) - 1] + (1u << kPositionSlots.extraBits[19]) ==
              1024);
static_assert(kLengthSlotTable.base[6] == 6 && kLengthSlotTable.base[10] == 14 &&
              kLengthSlotTable.base[26] == 254 && kLengthSlotTable.extraBits[25] == 5);
static_assert(kMaxMatchN == 259);

}  // namespace cabinet::quantum
