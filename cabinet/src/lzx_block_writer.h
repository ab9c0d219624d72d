// Compressed LZX blocks: symbol statistics, tree choice (verbatim or aligned offsets), the
// pretree-coded tree lengths and the symbols themselves.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lzx_bit_writer.h"
#include "lzx_items.h"
#include "lzx_tables.h"

namespace cabinet::lzx {

struct SymbolCounts {
    uint32_t main[kMaxMainTreeSymbols];
    uint32_t length[kNumSecondaryLengths];
    uint32_t aligned[kAlignedSymbols];
    uint64_t footerBits;      // all offset footer bits, as a verbatim block writes them
    uint64_t alignedFooters;  // footers of 3 bits or more, whose low bits an aligned tree codes

    void clear();
    void add(const SymbolCounts& other);
};

// Counts the symbols `items` will produce, starting from `reps` (which is advanced).
void countSymbols(const Item* items, size_t count, RepeatedOffsets& reps, SymbolCounts& counts);

// Tree lengths carried from block to block: the decoder codes each block's lengths as
// differences from the previous ones.
struct TreeLengths {
    uint8_t main[kMaxMainTreeSymbols];
    uint8_t length[kNumSecondaryLengths];
};

struct BlockPlan {
    BlockType type;
    uint64_t bits;  // header, trees and symbols
    TreeLengths lengths;
    uint8_t alignedLengths[kAlignedSymbols];
    uint16_t mainCodes[kMaxMainTreeSymbols];
    uint16_t lengthCodes[kNumSecondaryLengths];
    uint16_t alignedCodes[kAlignedSymbols];
};

// Builds the trees for `counts` and picks verbatim or aligned offsets, whichever is smaller.
void planCompressedBlock(const SymbolCounts& counts, unsigned mainSymbols,
                         const TreeLengths& previous, BlockPlan& plan);

// Writes the block type, size and trees of a planned block.
void writeBlockHeader(BitWriter& out, const BlockPlan& plan, uint32_t blockSize,
                      unsigned mainSymbols, const TreeLengths& previous);
// Writes the symbols of `items` with the plan's codes, advancing `reps`.
void writeItems(BitWriter& out, const BlockPlan& plan, const Item* items, size_t count,
                RepeatedOffsets& reps);

constexpr unsigned kBlockHeaderBits = 3 + 24;

}  // namespace cabinet::lzx
