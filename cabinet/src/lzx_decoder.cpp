// LZX decoder: one cabinet data block (a frame of up to 32 KB of output) per decode() call.
//
// Frames are decoded straight into a ring of twice the window size, then copied out. With the
// ring twice the window, the bytes a match copy spills past its end always belong to history
// older than any offset can reach, so matches copy whole words without bounds juggling; and
// since frames are 32 KB and the ring a multiple of that, a frame never wraps around the ring.
// Only a match source may wrap, which costs one comparison per match.
#include <algorithm>
#include <cstring>

#include "block_decoder.h"
#include "lzx_bit_reader.h"
#include "lzx_huffman.h"
#include "lzx_match_copy.h"
#include "lzx_tables.h"

namespace cabinet {
namespace {

using namespace lzx;

using MainTable = HuffmanTable<11, kMaxMainTreeSymbols, kMaxCodeLength>;
using LengthTable = HuffmanTable<11, kNumSecondaryLengths, kMaxCodeLength>;
using AlignedTable = HuffmanTable<7, kAlignedSymbols, 7>;
using PreTable = HuffmanTable<8, kPretreeSymbols, 15>;

// Pretree symbols after the 17 length deltas.
constexpr unsigned kShortZeroRun = 17;  // 4 + 4 bits zeros
constexpr unsigned kLongZeroRun = 18;   // 20 + 5 bits zeros
constexpr unsigned kSameRun = 19;       // 4 + 1 bit copies of one delta-coded length

constexpr uint32_t kBlockSizeBits = 24;
constexpr uint32_t kE8TranslationTail = 10;  // the last bytes of a frame are never translated

uint32_t readLittle32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

class LzxDecoder final : public BlockDecoder {
public:
    LzxDecoder(const Allocator& alloc, unsigned windowBits, uint8_t* ring)
        : alloc_(alloc),
          ring_(ring),
          windowSize_(1u << windowBits),
          ringSize_(2u << windowBits),
          matchSymbols_(positionSlots(windowBits) * 8) {
        reset();
    }
    ~LzxDecoder() override { alloc_.deallocate(ring_); }

    static size_t ringBytes(unsigned windowBits) { return (size_t{2} << windowBits) + kRingSlack; }

    void reset() override {
        pos_ = 0;
        folderOut_ = 0;
        headerRead_ = false;
        translateCalls_ = false;
        translationSize_ = 0;
        blockType_ = kVerbatim;
        blockSize_ = 0;
        blockRemaining_ = 0;
        r0_ = r1_ = r2_ = 1;
        broken_ = false;
        std::memset(mainLengths_, 0, sizeof mainLengths_);
        std::memset(lengthLengths_, 0, sizeof lengthLengths_);
    }

    DecodeStatus decode(const uint8_t* in, uint32_t inSize, uint8_t* out,
                        uint32_t outSize) override {
        if (broken_ || !out || outSize == 0 || outSize > kMaxBlockOutput || (!in && inSize))
            return DecodeStatus::corrupt;
        if (!decodeFrame(in, inSize, outSize)) {
            broken_ = true;  // history and trees are unreliable until the next folder
            return DecodeStatus::corrupt;
        }
        std::memcpy(out, ring_ + frameStart_, outSize);
        if (translateCalls_) undoCallTranslation(out, outSize);
        folderOut_ += outSize;
        if (pos_ == ringSize_) pos_ = 0;
        return DecodeStatus::ok;
    }

private:
    static constexpr size_t kRingSlack = 2 * kMatchCopySlack;

    bool decodeFrame(const uint8_t* in, uint32_t inSize, uint32_t outSize) {
        if (pos_ + outSize > ringSize_) moveHistoryToFront();
        frameStart_ = pos_;
        frameEnd_ = pos_ + outSize;
        const uint64_t history = std::min<uint64_t>(folderOut_, windowSize_);
        lowestSource_ = static_cast<int64_t>(frameStart_) - static_cast<int64_t>(history);
        in_ = in;
        inSize_ = inSize;
        // The bit stream restarts at every frame; an uncompressed block carries on with bytes.
        rawMode_ = blockType_ == kUncompressed && blockRemaining_ > 0;
        rawPos_ = 0;
        bitsStart_ = 0;
        if (!rawMode_) bits_.start(in, inSize);
        if (!headerRead_ && !readStreamHeader()) return false;

        while (pos_ < frameEnd_) {
            if (blockRemaining_ == 0) {
                if (!readBlockHeader()) return false;
                continue;
            }
            const uint32_t end = pos_ + std::min(blockRemaining_, frameEnd_ - pos_);
            bool ok = blockType_ == kVerbatim  ? decodeSymbols<false>(end)
                      : blockType_ == kAligned ? decodeSymbols<true>(end)
                                               : copyUncompressed(end);
            if (!ok) return false;
        }
        return consumedExactly();
    }

    // A frame's compressed bytes end where its decoding ends: the bit stream must neither
    // have run past them nor leave whole words unread (its last word is padded), and an
    // uncompressed block that the frame ends inside must have used every byte.
    bool consumedExactly() const {
        if (rawMode_) return rawPos_ == inSize_;
        if (bits_.overrun()) return false;
        const uint64_t usedBytes = (bits_.position() + 15) / 16 * 2;
        return bitsStart_ + usedBytes >= inSize_;
    }

    // A frame that would run past the ring's end (only after a short frame in mid-folder):
    // move the window's worth of history to the front so the frame fits.
    void moveHistoryToFront() {
        const uint32_t w = windowSize_;
        if (pos_ >= w) {
            std::memmove(ring_, ring_ + pos_ - w, w);
        } else {
            std::memmove(ring_ + w - pos_, ring_, pos_);
            std::memcpy(ring_, ring_ + ringSize_ - (w - pos_), w - pos_);
        }
        pos_ = w;
    }

    bool readStreamHeader() {
        bits_.refill();
        translateCalls_ = bits_.take(1) != 0;
        if (translateCalls_) {
            translationSize_ = bits_.take(16) << 16;
            translationSize_ |= bits_.take(16);
        }
        headerRead_ = true;
        return true;
    }

    bool readBlockHeader() {
        if (rawMode_) return false;  // an uncompressed block ended without its bit stream
        bits_.refill();
        const unsigned type = bits_.take(3);
        blockSize_ = bits_.take(kBlockSizeBits);
        blockRemaining_ = blockSize_;
        if (blockSize_ == 0) return false;
        switch (type) {
            case kAligned:
                for (unsigned i = 0; i < kAlignedSymbols; ++i)
                    alignedLengths_[i] = static_cast<uint8_t>(bits_.read(kAlignedLengthBits));
                if (!aligned_.build(alignedLengths_, kAlignedSymbols)) return false;
                [[fallthrough]];
            case kVerbatim:
                blockType_ = static_cast<BlockType>(type);
                return readLengths(mainLengths_, 0, kNumChars) &&
                       readLengths(mainLengths_, kNumChars, kNumChars + matchSymbols_) &&
                       readLengths(lengthLengths_, 0, kNumSecondaryLengths) &&
                       main_.build(mainLengths_, kNumChars + matchSymbols_) &&
                       length_.build(lengthLengths_, kNumSecondaryLengths);
            case kUncompressed:
                blockType_ = kUncompressed;
                return startUncompressed();
            default:
                return false;
        }
    }

    // Updates lengths[first, end) from pretree-coded deltas against their previous values.
    bool readLengths(uint8_t* lengths, unsigned first, unsigned end) {
        uint8_t preLengths[kPretreeSymbols];
        for (unsigned i = 0; i < kPretreeSymbols; ++i)
            preLengths[i] = static_cast<uint8_t>(bits_.read(kPretreeLengthBits));
        if (!pre_.build(preLengths, kPretreeSymbols)) return false;
        auto delta = [](unsigned previous, unsigned symbol) {
            return static_cast<uint8_t>((previous + kMaxCodeLength + 1 - symbol) %
                                        (kMaxCodeLength + 1));
        };
        for (unsigned i = first; i < end;) {
            bits_.refill();
            const uint32_t entry = pre_.lookup(bits_.buffer());
            bits_.consume(PreTable::length(entry));
            const unsigned symbol = PreTable::symbol(entry);
            if (symbol <= kMaxCodeLength) {
                lengths[i] = delta(lengths[i], symbol);
                ++i;
                continue;
            }
            unsigned run;
            uint8_t value = 0;
            if (symbol == kShortZeroRun) {
                run = 4 + bits_.take(4);
            } else if (symbol == kLongZeroRun) {
                run = 20 + bits_.take(5);
            } else if (symbol == kSameRun) {
                run = 4 + bits_.take(1);
                const uint32_t next = pre_.lookup(bits_.buffer());
                bits_.consume(PreTable::length(next));
                if (PreTable::symbol(next) > kMaxCodeLength) return false;
                value = delta(lengths[i], PreTable::symbol(next));
            } else {
                return false;
            }
            if (run > end - i) return false;
            std::memset(lengths + i, value, run);
            i += run;
        }
        return true;
    }

    // The uncompressed block header: 1 to 16 bits of padding to a word boundary, then the
    // repeated offsets as little-endian bytes, then the raw bytes.
    bool startUncompressed() {
        rawPos_ = bitsStart_ + bits_.alignToWordAfterPadding();
        rawMode_ = true;
        if (rawPos_ > inSize_ || inSize_ - rawPos_ < 12) return false;
        const uint32_t r[3] = {readLittle32(in_ + rawPos_), readLittle32(in_ + rawPos_ + 4),
                               readLittle32(in_ + rawPos_ + 8)};
        rawPos_ += 12;
        for (uint32_t offset : r)
            if (offset == 0 || offset > windowSize_ - 3) return false;
        r0_ = r[0];
        r1_ = r[1];
        r2_ = r[2];
        return true;
    }

    bool copyUncompressed(uint32_t end) {
        const uint32_t n = end - pos_;
        if (rawPos_ > inSize_ || inSize_ - rawPos_ < n) return false;
        std::memcpy(ring_ + pos_, in_ + rawPos_, n);
        rawPos_ += n;
        pos_ = end;
        blockRemaining_ -= n;
        if (blockRemaining_ == 0) {
            // An odd-sized block is followed by one byte that restores word alignment.
            if ((blockSize_ & 1) && rawPos_ < inSize_) ++rawPos_;
            rawMode_ = false;
            bitsStart_ = rawPos_;
            bits_.start(in_ + rawPos_, inSize_ - rawPos_);
        }
        return true;
    }

    // Decodes literals and matches into the ring up to `end` (the block's or the frame's end).
    template <bool Aligned>
    bool decodeSymbols(const uint32_t end) {
        BitReader bits = bits_;
        uint8_t* const ring = ring_;
        const uint32_t frameEnd = frameEnd_;
        const int64_t lowest = lowestSource_;
        const unsigned matchSymbols = matchSymbols_;
        uint32_t pos = pos_;
        uint32_t r0 = r0_, r1 = r1_, r2 = r2_;
        bool ok = true;

        while (pos < end) {
            bits.refill();
            uint32_t entry = main_.lookup(bits.buffer());
            bits.consume(MainTable::length(entry));
            uint32_t symbol = MainTable::symbol(entry);
            if (symbol < kNumChars) {
                ring[pos++] = static_cast<uint8_t>(symbol);
                // A refill leaves room for two more literals; take them while they come.
                for (int more = 0; more < 2 && pos < end; ++more) {
                    entry = main_.lookup(bits.buffer());
                    if (MainTable::symbol(entry) >= kNumChars) break;
                    bits.consume(MainTable::length(entry));
                    ring[pos++] = static_cast<uint8_t>(MainTable::symbol(entry));
                }
                continue;
            }
            symbol -= kNumChars;
            if (symbol >= matchSymbols) [[unlikely]] {
                ok = false;
                break;
            }
            uint32_t length = symbol & 7;
            if (length == kNumPrimaryLengths) {
                entry = length_.lookup(bits.buffer());
                bits.consume(LengthTable::length(entry));
                const uint32_t extra = LengthTable::symbol(entry);
                if (extra >= kNumSecondaryLengths) [[unlikely]] {
                    ok = false;
                    break;
                }
                length += extra;
            }
            length += kMinMatch;

            const uint32_t slot = symbol >> 3;
            uint32_t offset;
            if (slot == 0) {
                offset = r0;
            } else if (slot == 1) {
                offset = r1;
                r1 = r0;
                r0 = offset;
            } else if (slot == 2) {
                offset = r2;
                r2 = r0;
                r0 = offset;
            } else {
                const unsigned extraBits = kPositionSlots.extraBits[slot];
                uint32_t formatted = kPositionSlots.base[slot];
                if (Aligned && extraBits >= 3) {
                    formatted += bits.take(extraBits - 3) << 3;
                    bits.refill();
                    entry = aligned_.lookup(bits.buffer());
                    bits.consume(AlignedTable::length(entry));
                    const uint32_t low = AlignedTable::symbol(entry);
                    if (low >= kAlignedSymbols) [[unlikely]] {
                        ok = false;
                        break;
                    }
                    formatted += low;
                } else {
                    formatted += bits.take(extraBits);
                }
                offset = formatted - 2;
                r2 = r1;
                r1 = r0;
                r0 = offset;
            }

            int64_t source = static_cast<int64_t>(pos) - offset;
            if (length > frameEnd - pos || source < lowest) [[unlikely]] {
                ok = false;
                break;
            }
            if (source >= 0) {
                copyMatch(ring + pos, offset, length);
            } else {
                source += ringSize_;
                if (source + length <= ringSize_) {
                    copyFar(ring + pos, ring + source, length);
                } else {
                    for (uint32_t i = 0; i < length; ++i)
                        ring[pos + i] = ring[(source + i) & (ringSize_ - 1)];
                }
            }
            pos += length;
        }

        // A match may not run on past the end of its block.
        if (pos > end) ok = false;
        blockRemaining_ -= std::min(pos, end) - pos_;
        pos_ = pos;
        bits_ = bits;
        r0_ = r0;
        r1_ = r1;
        r2_ = r2;
        return ok;
    }

    // Reverses the encoder's E8 call translation over one frame of output.
    void undoCallTranslation(uint8_t* out, uint32_t size) const {
        if (folderOut_ >= kE8MaxOutput || size <= kE8TranslationTail) return;
        const int64_t fileSize = translationSize_;
        uint8_t* p = out;
        uint8_t* const last = out + size - kE8TranslationTail;
        while (p < last) {
            p = static_cast<uint8_t*>(std::memchr(p, 0xE8, last - p));
            if (!p) break;
            const int64_t current = static_cast<int64_t>(folderOut_) + (p - out);
            const int64_t value = static_cast<int32_t>(readLittle32(p + 1));
            if (value >= -current && value < fileSize) {
                const uint32_t relative =
                    static_cast<uint32_t>(value >= 0 ? value - current : value + fileSize);
                p[1] = static_cast<uint8_t>(relative);
                p[2] = static_cast<uint8_t>(relative >> 8);
                p[3] = static_cast<uint8_t>(relative >> 16);
                p[4] = static_cast<uint8_t>(relative >> 24);
            }
            p += 5;
        }
    }

    Allocator alloc_;
    uint8_t* const ring_;
    const uint32_t windowSize_;
    const uint32_t ringSize_;
    const unsigned matchSymbols_;

    uint32_t pos_ = 0;         // ring position of the next output byte
    uint64_t folderOut_ = 0;   // folder bytes output before this frame
    uint32_t frameStart_ = 0;  // ring range of the frame being decoded
    uint32_t frameEnd_ = 0;
    int64_t lowestSource_ = 0;  // lowest ring position a match may copy from (before wrap)

    BitReader bits_;
    const uint8_t* in_ = nullptr;
    uint32_t inSize_ = 0;
    bool rawMode_ = false;  // reading an uncompressed block's bytes at rawPos_
    size_t rawPos_ = 0;
    size_t bitsStart_ = 0;  // input offset where the bit stream (re)started

    bool headerRead_ = false;
    bool translateCalls_ = false;
    uint32_t translationSize_ = 0;
    BlockType blockType_ = kVerbatim;
    uint32_t blockSize_ = 0;
    uint32_t blockRemaining_ = 0;
    uint32_t r0_ = 1, r1_ = 1, r2_ = 1;
    bool broken_ = false;

    uint8_t mainLengths_[kMaxMainTreeSymbols];
    uint8_t lengthLengths_[kNumSecondaryLengths];
    uint8_t alignedLengths_[kAlignedSymbols];
    MainTable main_;
    LengthTable length_;
    AlignedTable aligned_;
    PreTable pre_;
};

}  // namespace

BlockDecoder* createLzxDecoder(const Allocator& alloc, unsigned windowBits) {
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits) return nullptr;
    if (!alloc.alloc || !alloc.release) return nullptr;
    auto* ring = static_cast<uint8_t*>(alloc.allocate(LzxDecoder::ringBytes(windowBits)));
    if (!ring) return nullptr;
    LzxDecoder* decoder = alloc.make<LzxDecoder>(alloc, windowBits, ring);
    if (!decoder) alloc.deallocate(ring);
    return decoder;
}

}  // namespace cabinet
