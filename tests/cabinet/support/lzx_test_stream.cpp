#include "support/lzx_test_stream.h"

#include "lzx_tables.h"

namespace cabinet::testing {

namespace lzx = cabinet::lzx;

namespace {

// Lengths of a complete code for `count` symbols: the fewest bits that hold them all, with
// enough symbols one bit shorter to fill the code space exactly.
std::vector<uint8_t> flatLengths(unsigned count, bool shortFirst) {
    unsigned bits = 0;
    while ((1u << bits) < count) ++bits;
    const unsigned shorter = (1u << bits) - count;
    std::vector<uint8_t> lengths(count, static_cast<uint8_t>(bits));
    for (unsigned i = 0; i < shorter; ++i)
        lengths[shortFirst ? i : count - 1 - i] = static_cast<uint8_t>(bits - 1);
    return lengths;
}

// Canonical codes: by length, then by symbol, counting up.
template <typename Code>
std::vector<Code> canonicalCodes(const std::vector<uint8_t>& lengths) {
    std::vector<Code> codes(lengths.size());
    uint32_t next = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        for (size_t s = 0; s < lengths.size(); ++s)
            if (lengths[s] == len) codes[s] = {next++, len};
        next <<= 1;
    }
    return codes;
}

}  // namespace

LzxTestStream::LzxTestStream(unsigned windowBits, uint32_t translationSize, uint32_t frameSize)
    : windowBits_(windowBits),
      frameSize_(frameSize),
      mainLengths_(lzx::mainTreeSymbols(windowBits), 0),
      lengthLengths_(lzx::kNumSecondaryLengths, 0) {
    putBits(translationSize != 0, 1);
    if (translationSize) {
        putBits(translationSize >> 16, 16);
        putBits(translationSize & 0xFFFF, 16);
    }
}

void LzxTestStream::putBits(uint32_t value, unsigned count) {
    for (unsigned i = count; i-- > 0;) {
        pending_ = (pending_ << 1) | ((value >> i) & 1);
        if (++pendingCount_ == 16) {
            current_.push_back(static_cast<uint8_t>(pending_));
            current_.push_back(static_cast<uint8_t>(pending_ >> 8));
            pending_ = 0;
            pendingCount_ = 0;
        }
    }
}

void LzxTestStream::bits(uint32_t value, unsigned count) {
    putBits(value, count);
}

void LzxTestStream::flushToWord() {
    if (pendingCount_) putBits(0, 16 - pendingCount_);
}

void LzxTestStream::produced(uint32_t bytes) {
    output_ += bytes;
    frameOutput_ += bytes;
}

void LzxTestStream::cutFrameIfFull() {
    if (frameOutput_ < frameSize_) return;
    flushToWord();
    blocks_.push_back({current_, frameOutput_});
    current_.clear();
    frameOutput_ = 0;
}

void LzxTestStream::sendTree(std::vector<uint8_t>& lengths, unsigned first, unsigned end,
                             const std::vector<uint8_t>& wanted) {
    const auto preLengths = flatLengths(lzx::kPretreeSymbols, true);
    const auto pre = canonicalCodes<Code>(preLengths);
    for (uint8_t len : preLengths) putBits(len, 4);
    for (unsigned i = first; i < end; ++i) {
        putCode(pre[(lengths[i] + 17 - wanted[i]) % 17]);
        lengths[i] = wanted[i];
    }
}

void LzxTestStream::compressedBlock(bool aligned, const std::vector<LzxToken>& tokens,
                                    TreeShape shape) {
    uint32_t size = 0;
    for (const auto& t : tokens) size += t.isMatch ? t.length : 1;
    putBits(aligned ? lzx::kAligned : lzx::kVerbatim, 3);
    putBits(size, 24);
    if (aligned)
        for (unsigned i = 0; i < lzx::kAlignedSymbols; ++i) putBits(3, 3);

    const bool shortFirst = shape != TreeShape::shortCodesLast;
    const auto mainSymbols = static_cast<unsigned>(mainLengths_.size());
    auto mainWanted = flatLengths(mainSymbols, shortFirst);
    if (shape == TreeShape::oversubscribed) mainWanted.assign(mainSymbols, 1);
    const auto lengthWanted = flatLengths(lzx::kNumSecondaryLengths, shortFirst);
    sendTree(mainLengths_, 0, lzx::kNumChars, mainWanted);
    sendTree(mainLengths_, lzx::kNumChars, mainSymbols, mainWanted);
    sendTree(lengthLengths_, 0, lzx::kNumSecondaryLengths, lengthWanted);
    const auto main = canonicalCodes<Code>(mainLengths_);
    const auto length = canonicalCodes<Code>(lengthLengths_);

    for (const auto& t : tokens) {
        if (!t.isMatch) {
            putCode(main[t.byte]);
            produced(1);
            cutFrameIfFull();
            continue;
        }
        const uint32_t header = t.length - 2 < 7 ? t.length - 2 : 7;
        uint32_t slot, extra = 0, extraBits = 0;
        if (t.repeated >= 0) {
            slot = static_cast<uint32_t>(t.repeated);
        } else {
            const uint32_t formatted = t.offset + 2;
            slot = 3;
            while (slot + 1 < lzx::positionSlots(windowBits_) &&
                   lzx::kPositionSlots.base[slot + 1] <= formatted)
                ++slot;
            extra = formatted - lzx::kPositionSlots.base[slot];
            extraBits = lzx::kPositionSlots.extraBits[slot];
        }
        putCode(main[lzx::kNumChars + slot * 8 + header]);
        if (header == 7) putCode(length[t.length - 9]);
        if (aligned && extraBits >= 3) {
            putBits(extra >> 3, extraBits - 3);
            putBits(extra & 7, 3);  // aligned tree: all eight codes 3 bits, code = symbol
        } else {
            putBits(extra, extraBits);
        }
        produced(t.length);
        cutFrameIfFull();
    }
}

void LzxTestStream::uncompressedBlock(const std::vector<uint8_t>& bytes,
                                      std::array<uint32_t, 3> repeated) {
    putBits(lzx::kUncompressed, 3);
    putBits(static_cast<uint32_t>(bytes.size()), 24);
    putBits(0, pendingCount_ ? 16 - pendingCount_ : 16);
    for (uint32_t r : repeated)
        for (int i = 0; i < 4; ++i) current_.push_back(static_cast<uint8_t>(r >> (8 * i)));
    for (uint8_t byte : bytes) {
        current_.push_back(byte);
        produced(1);
        cutFrameIfFull();
    }
    if (bytes.size() & 1) current_.push_back(0);
}

std::vector<DataBlock> LzxTestStream::blocks() {
    flushToWord();
    std::vector<DataBlock> result = blocks_;
    if (frameOutput_) result.push_back({current_, frameOutput_});
    return result;
}

DataBlock LzxTestStream::singleBlock(uint32_t outputSize) {
    flushToWord();
    return {current_, outputSize};
}

}  // namespace cabinet::testing
