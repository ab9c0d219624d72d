// Length-limited Huffman codes for the LZX trees (main, length, aligned and pretree).
#pragma once

#include <cstdint>

namespace cabinet::lzx {

constexpr unsigned kMaxHuffmanSymbols = 656;

// Fills lengths[0..count) with the lengths of an optimal-or-close prefix code for `freq`, no
// longer than maxLength. The code is always complete and gives at least two symbols a length
// (unused symbols are padded in when needed), because decoders reject codes that leave part of
// the code space unused.
void buildCodeLengths(const uint32_t* freq, unsigned count, unsigned maxLength, uint8_t* lengths);

// Canonical codes for `lengths`: shorter codes first, ties in symbol order.
void buildCanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes);

}  // namespace cabinet::lzx
