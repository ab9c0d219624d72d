// Huffman codes of the LZX trees: canonical decoding tables built from code lengths, and the
// length-limited code construction the encoder uses.
//
// Decoding: one lookup of the top RootBits of the bit buffer answers every code up to RootBits
// long; longer codes go through a second-level table sized for the longest code under that prefix.
// An entry holds the symbol above bit 8 and the code length below; a link to a second-level
// table holds its offset above bit 8, kLink and the table's index width.
#pragma once

#include <cstdint>

#include "lzx_tables.h"

namespace cabinet::lzx {

template <unsigned RootBits, unsigned MaxSymbols, unsigned MaxLength>
class HuffmanTable {
    static_assert(MaxLength <= kMaxCodeLength && RootBits <= MaxLength);

public:
    // Unused codes of an incomplete tree decode to this symbol, beyond every alphabet, so the
    // symbol range check that every caller makes turns them into a corrupt stream.
    static constexpr uint32_t kInvalidSymbol = 0xFFFF;

    // Fills the table from `lengths` (0 = symbol unused, else 1..MaxLength). False when the
    // lengths over-subscribe the code space; an incomplete or empty tree is accepted.
    bool build(const uint8_t* lengths, unsigned count) {
        unsigned perLength[kMaxCodeLength + 1] = {};
        for (unsigned i = 0; i < count; ++i) ++perLength[lengths[i]];
        int left = 1;
        for (unsigned len = 1; len <= MaxLength; ++len) {
            left = 2 * left - static_cast<int>(perLength[len]);
            if (left < 0) return false;
        }
        unsigned next[kMaxCodeLength + 2] = {};
        for (unsigned len = 1; len <= MaxLength; ++len) next[len + 1] = next[len] + perLength[len];
        const unsigned used = next[MaxLength + 1];
        uint16_t sorted[MaxSymbols];
        for (unsigned i = 0; i < count; ++i)
            if (lengths[i]) sorted[next[lengths[i]]++] = static_cast<uint16_t>(i);

        for (unsigned i = 0; i < (1u << RootBits); ++i) entries_[i] = kInvalid;
        // Canonical codes in order of (length, symbol) tile the code space from its start;
        // `code` is the current code left-aligned to kMaxCodeLength bits.
        uint32_t code = 0;
        unsigned k = 0;
        for (; k < used && lengths[sorted[k]] <= RootBits; ++k) {
            unsigned len = lengths[sorted[k]];
            uint32_t first = code >> (kMaxCodeLength - RootBits);
            uint32_t entry = leaf(sorted[k], len);
            for (uint32_t i = 0; i < (1u << (RootBits - len)); ++i) entries_[first + i] = entry;
            code += 1u << (kMaxCodeLength - len);
        }
        if constexpr (MaxLength > RootBits) {
            uint32_t freeSlot = 1u << RootBits;
            while (k < used) {
                // Codes sharing this root prefix are consecutive, the longest last.
                const uint32_t prefix = code >> (kMaxCodeLength - RootBits);
                unsigned end = k;
                uint32_t probe = code;
                unsigned longest = RootBits;
                while (end < used && (probe >> (kMaxCodeLength - RootBits)) == prefix) {
                    longest = lengths[sorted[end]];
                    probe += 1u << (kMaxCodeLength - longest);
                    ++end;
                }
                const unsigned subBits = longest - RootBits;
                const uint32_t base = freeSlot;
                freeSlot += 1u << subBits;
                for (uint32_t i = 0; i < (1u << subBits); ++i) entries_[base + i] = kInvalid;
                entries_[prefix] = (base << 8) | kLink | subBits;
                for (; k < end; ++k) {
                    unsigned len = lengths[sorted[k]];
                    uint32_t first = (code >> (kMaxCodeLength - longest)) & ((1u << subBits) - 1);
                    uint32_t entry = leaf(sorted[k], len);
                    for (uint32_t i = 0; i < (1u << (longest - len)); ++i)
                        entries_[base + first + i] = entry;
                    code += 1u << (kMaxCodeLength - len);
                }
            }
        }
        return true;
    }

    // The entry for the code at the top of `bits` (at least MaxLength of them valid).
    uint32_t lookup(uint64_t bits) const {
        uint32_t entry = entries_[bits >> (64 - RootBits)];
        if constexpr (MaxLength > RootBits) {
            if (entry & kLink) [[unlikely]]
                entry = entries_[(entry >> 8) + ((bits << RootBits) >> (64 - (entry & 0x1F)))];
        }
        return entry;
    }
    static unsigned symbol(uint32_t entry) { return entry >> 8; }
    static unsigned length(uint32_t entry) { return entry & 0x1F; }

private:
    static constexpr uint32_t kLink = 0x80;
    static constexpr uint32_t kInvalid = (kInvalidSymbol << 8) | 1;
    static constexpr uint32_t leaf(unsigned symbol, unsigned len) { return (symbol << 8) | len; }

    // Each second-level table serves one root prefix and needs at least one symbol of its own.
    static constexpr unsigned kCapacity =
        (1u << RootBits) + (MaxLength > RootBits ? MaxSymbols << (MaxLength - RootBits) : 0);
    uint32_t entries_[kCapacity];
};

constexpr unsigned kMaxHuffmanSymbols = 656;

// Fills lengths[0..count) with the lengths of an optimal-or-close prefix code for `freq`, no
// longer than maxLength. The code is always complete and gives at least two symbols a length
// (unused symbols are padded in when needed), because decoders reject codes that leave part of
// the code space unused.
void buildCodeLengths(const uint32_t* freq, unsigned count, unsigned maxLength, uint8_t* lengths);

// Canonical codes for `lengths`: shorter codes first, ties in symbol order.
void buildCanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes);

}  // namespace cabinet::lzx
