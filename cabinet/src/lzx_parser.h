// Near-optimal parsing of one frame: a shortest path over the frame's positions where each
// step is a literal, a repeated-offset match or a match from the match finder, priced with
// the code lengths the previous frame's symbols would get. Each position keeps the repeated
// offsets of its cheapest arrival.
#pragma once

#include <cstdint>

#include "lzx_block_writer.h"
#include "lzx_items.h"
#include "lzx_match_finder.h"

namespace cabinet::lzx {

// Bit prices of the main and length symbols.
struct CostModel {
    uint32_t main[kMaxMainTreeSymbols];
    uint32_t length[kNumSecondaryLengths];
};

class Parser {
public:
    struct Node {
        uint32_t cost;
        uint32_t offset;
        uint32_t length;
        RepeatedOffsets reps;
    };
    // `nodes` holds kFrameSize + 1 entries.
    void attach(Node* nodes, MatchFinder* finder, unsigned mainSymbols) {
        nodes_ = nodes;
        finder_ = finder;
        mainSymbols_ = mainSymbols;
    }
    void resetCosts();
    // Prices symbols as a Huffman code for `counts` would.
    void learnCosts(SymbolCounts counts);

    // Parses the frame of `size` bytes at `frame` (stream position `pos`); `readable` bytes are
    // valid from `frame` on (at least size). Returns the number of items written to `out`
    // (at most size) and advances `reps` along the chosen path.
    uint32_t parseFrame(const uint8_t* frame, uint32_t pos, uint32_t size, uint32_t readable,
                        RepeatedOffsets& reps, Item* out);

    // The price in bits of the last frame's path, by the model it was parsed with.
    uint32_t lastCost() const { return lastCost_; }

    // A match at least this long is taken without searching the positions inside it.
    unsigned takenLength = 24;

private:
    Node* nodes_ = nullptr;
    MatchFinder* finder_ = nullptr;
    unsigned mainSymbols_ = 0;
    CostModel costs_{};
    SymbolCounts history_{};
    uint32_t lastCost_ = 0;
};

}  // namespace cabinet::lzx
