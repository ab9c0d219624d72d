// Hand-assembled LZX streams for decoder tests: blocks of chosen types, tree shapes and
// symbols, cut into 32 KB frames the way a cabinet carries them. Every tree is complete and
// as flat as its symbol count allows: codes of two neighbouring lengths.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/folder_blocks.h"

namespace cabinet::testing {

struct LzxToken {
    static LzxToken literal(uint8_t byte) { return {false, byte, 0, 0, -1}; }
    // A match `offset` bytes back, sent with its position slot and extra bits.
    static LzxToken match(uint32_t length, uint32_t offset) {
        return {true, 0, length, offset, -1};
    }
    // A match at repeated offset R0, R1 or R2.
    static LzxToken repeat(uint32_t length, int which) { return {true, 0, length, 0, which}; }

    bool isMatch;
    uint8_t byte;
    uint32_t length;
    uint32_t offset;
    int repeated;
};

class LzxTestStream {
public:
    // `frameSize` cuts the output into frames of another size than the cabinet's 32 KB.
    explicit LzxTestStream(unsigned windowBits, uint32_t translationSize = 0,
                           uint32_t frameSize = 32768);

    enum class TreeShape {
        shortCodesFirst,  // the lowest symbols get the shorter codes
        shortCodesLast,   // the highest symbols do
        oversubscribed,   // every main tree code one bit long: not a valid tree
    };

    // A verbatim (or aligned-offset) block. Tree lengths are sent as pretree deltas against
    // the previous block's.
    void compressedBlock(bool aligned, const std::vector<LzxToken>& tokens,
                         TreeShape shape = TreeShape::shortCodesFirst);
    void uncompressedBlock(const std::vector<uint8_t>& bytes,
                           std::array<uint32_t, 3> repeated = {1, 1, 1});
    // Raw bits, for streams that break the format on purpose.
    void bits(uint32_t value, unsigned count);

    // The data blocks: one per frame of output, the last one shorter.
    std::vector<DataBlock> blocks();
    // Everything written so far as one data block claiming `outputSize` bytes of output.
    DataBlock singleBlock(uint32_t outputSize);
    uint32_t outputSize() const { return output_; }

private:
    struct Code {
        uint32_t bits;
        unsigned length;
    };
    void putBits(uint32_t value, unsigned count);
    void putCode(const Code& code) { putBits(code.bits, code.length); }
    void sendTree(std::vector<uint8_t>& lengths, unsigned first, unsigned end,
                  const std::vector<uint8_t>& wanted);
    void flushToWord();
    void produced(uint32_t bytes);
    void cutFrameIfFull();

    unsigned windowBits_;
    uint32_t frameSize_;
    std::vector<uint8_t> mainLengths_, lengthLengths_;
    std::vector<DataBlock> blocks_;
    std::vector<uint8_t> current_;
    uint32_t pending_ = 0;  // bits not yet written, most significant first
    unsigned pendingCount_ = 0;
    uint32_t output_ = 0;
    uint32_t frameOutput_ = 0;
};

}  // namespace cabinet::testing
