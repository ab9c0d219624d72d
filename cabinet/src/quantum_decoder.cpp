// Quantum decoder: an LZ77 window whose literals, match lengths and match positions are coded
// with a 16-bit arithmetic coder over adaptive frequency models.
//
// In a cabinet every data block is one frame: the coder starts afresh on the block's first
// bits, while the models and the window carry on from block to block until the folder ends.
// Extra bits of lengths and positions are read raw from the same bit stream, between the bits
// the coder pulls in.
#include <bit>

#include "block_decoder.h"
#include "quantum_model.h"
#include "quantum_tables.h"

namespace cabinet {
namespace {

using quantum::AdaptiveModel;

// Most significant bit first, refilled a byte at a time into a 64-bit buffer. Past the end of
// the block it yields zero bits and counts them, so the caller can tell a stream that ran
// short from one whose coder merely looked ahead.
class MsbBitReader {
public:
    MsbBitReader(const uint8_t* data, uint32_t size) : next_(data), end_(data + size) {}

    // n <= 24
    uint32_t readBits(unsigned n) {
        if (n == 0) return 0;
        if (count_ < n) refill();
        uint32_t value = static_cast<uint32_t>(buffer_ >> (64 - n));
        buffer_ <<= n;
        count_ -= n;
        return value;
    }

    // Bits of the block not taken yet.
    uint64_t bitsUnread() const {
        uint64_t fetchedPastEnd = static_cast<uint64_t>(zeroBytes_) * 8;
        uint64_t buffered = count_ > fetchedPastEnd ? count_ - fetchedPastEnd : 0;
        return static_cast<uint64_t>(end_ - next_) * 8 + buffered;
    }

    // Bits taken beyond the end of the block.
    uint64_t bitsPastEnd() const {
        uint64_t fetchedPastEnd = static_cast<uint64_t>(zeroBytes_) * 8;
        return fetchedPastEnd > count_ ? fetchedPastEnd - count_ : 0;
    }

private:
    void refill() {
        while (count_ <= 56) {
            uint64_t byte = 0;
            if (next_ != end_) {
                byte = *next_++;
            } else {
                ++zeroBytes_;
            }
            buffer_ |= byte << (56 - count_);
            count_ += 8;
        }
    }

    const uint8_t* next_;
    const uint8_t* end_;
    uint64_t buffer_ = 0;
    unsigned count_ = 0;
    uint32_t zeroBytes_ = 0;
};

// The arithmetic decoder: the interval [low, high] and the 16 code bits under it.
class RangeDecoder {
public:
    explicit RangeDecoder(MsbBitReader& bits) : bits_(bits) { code_ = bits_.readBits(16); }

    // The next symbol coded with `model`, which then learns it. False when the code bits fall
    // outside the interval, which no encoder produces.
    bool decode(AdaptiveModel& model, unsigned& symbol) {
        if (code_ < low_ || code_ > high_) return false;
        uint32_t range = high_ - low_ + 1;
        uint32_t total = model.total();
        uint32_t target = ((code_ - low_ + 1) * total - 1) / range;
        unsigned index = model.find(target);
        symbol = model.symbol(index);
        high_ = low_ + model.cumulative(index) * range / total - 1;
        low_ = low_ + model.cumulative(index + 1) * range / total;
        model.update(index);
        renormalize();
        return true;
    }

    MsbBitReader& bits() { return bits_; }

private:
    // Shifts out the leading bits low and high agree on, all at once; while they straddle
    // the middle too closely (low in the second quarter, high in the third) the middle half
    // is widened, a bit at a time. Every model keeps each frequency >= 1 and its total below
    // 2^12 while the interval stays wider than 2^14 between symbols, so low < high here.
    void renormalize() {
        unsigned agreed = std::countl_zero(static_cast<uint16_t>(low_ ^ high_));
        if (agreed != 0) shift(agreed);
        while ((low_ & 0x4000) && !(high_ & 0x4000)) {
            code_ ^= 0x4000;
            low_ &= 0x3FFF;
            high_ |= 0x4000;
            shift(1);
        }
    }

    void shift(unsigned n) {
        low_ = (low_ << n) & 0xFFFF;
        high_ = ((high_ << n) | ((1u << n) - 1)) & 0xFFFF;
        code_ = ((code_ << n) | bits_.readBits(n)) & 0xFFFF;
    }

    MsbBitReader& bits_;
    uint32_t low_ = 0;
    uint32_t high_ = 0xFFFF;
    uint32_t code_ = 0;
};

// A frame may end with the coder's look-ahead past the last byte: 16 bits at most.
constexpr uint64_t kMaxBitsPastEnd = 16;
// Microsoft's compressor follows a frame's last code bits with up to four null bytes.
constexpr uint32_t kMaxTrailingNulls = 4;

// Whether the bytes of a frame that the decoder left wholly unread are only the null bytes
// a compressor may add: anything else belongs to no symbol, so the block is damaged.
bool onlyPaddingUnread(const uint8_t* in, uint32_t inSize, uint64_t bitsUnread) {
    const uint32_t firstUnread = static_cast<uint32_t>((uint64_t{inSize} * 8 - bitsUnread + 7) / 8);
    if (inSize - firstUnread > kMaxTrailingNulls) return false;
    for (uint32_t i = firstUnread; i < inSize; ++i)
        if (in[i] != 0) return false;
    return true;
}

class QuantumDecoder final : public BlockDecoder {
public:
    QuantumDecoder(const Allocator& alloc, unsigned windowBits, uint8_t* window)
        : alloc_(alloc),
          windowBits_(windowBits),
          windowMask_((uint32_t{1} << windowBits) - 1),
          window_(window) {
        reset();
    }
    ~QuantumDecoder() override { alloc_.deallocate(window_); }
    QuantumDecoder(const QuantumDecoder&) = delete;
    QuantumDecoder& operator=(const QuantumDecoder&) = delete;

    void reset() override {
        using namespace quantum;
        selector_.init(0, kSelectors);
        for (unsigned m = 0; m < kLiteralModels; ++m)
            literal_[m].init(static_cast<uint16_t>(m * kLiteralsPerModel), kLiteralsPerModel);
        match3Position_.init(0, match3PositionSlots(windowBits_));
        match4Position_.init(0, match4PositionSlots(windowBits_));
        matchNPosition_.init(0, positionSlots(windowBits_));
        matchNLength_.init(0, kLengthSlots);
        windowPos_ = 0;
        history_ = 0;
        broken_ = false;
    }

    DecodeStatus decode(const uint8_t* in, uint32_t inSize, uint8_t* out,
                        uint32_t outSize) override {
        if (broken_ || !out || outSize == 0 || outSize > kMaxBlockOutput || (!in && inSize != 0)) {
            return DecodeStatus::corrupt;
        }
        // Whatever fails leaves the models out of step with the encoder's: the folder is lost.
        broken_ = !decodeFrame(in, inSize, out, outSize);
        return broken_ ? DecodeStatus::corrupt : DecodeStatus::ok;
    }

private:
    bool decodeFrame(const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize) {
        using namespace quantum;
        MsbBitReader bits(in, inSize);
        RangeDecoder coder(bits);
        uint32_t done = 0;
        while (done < outSize) {
            unsigned selector;
            if (!coder.decode(selector_, selector)) return false;
            if (selector < kLiteralModels) {
                unsigned byte;
                if (!coder.decode(literal_[selector], byte)) return false;
                putLiteral(static_cast<uint8_t>(byte), out, done);
            } else {
                uint32_t length, distance;
                if (!decodeMatch(coder, selector, length, distance)) return false;
                if (distance > history_ || length > outSize - done) return false;
                copyMatch(distance, length, out, done);
            }
            if (bits.bitsPastEnd() > kMaxBitsPastEnd) return false;
        }
        return onlyPaddingUnread(in, inSize, bits.bitsUnread());
    }

    bool decodeMatch(RangeDecoder& coder, unsigned selector, uint32_t& length, uint32_t& distance) {
        using namespace quantum;
        AdaptiveModel* positions = &match3Position_;
        length = 3;
        if (selector == kSelectorMatch4) {
            positions = &match4Position_;
            length = 4;
        } else if (selector == kSelectorMatchN) {
            positions = &matchNPosition_;
            unsigned slot;
            if (!coder.decode(matchNLength_, slot)) return false;
            length = kLengthSlotTable.base[slot] +
                     coder.bits().readBits(kLengthSlotTable.extraBits[slot]) + kMinMatchN;
        }
        unsigned slot;
        if (!coder.decode(*positions, slot)) return false;
        distance =
            kPositionSlots.base[slot] + coder.bits().readBits(kPositionSlots.extraBits[slot]) + 1;
        return true;
    }

    void putLiteral(uint8_t byte, uint8_t* out, uint32_t& done) {
        window_[windowPos_] = byte;
        windowPos_ = (windowPos_ + 1) & windowMask_;
        out[done++] = byte;
        if (history_ <= windowMask_) ++history_;
    }

    // distance <= history_ <= window size, and length fits the frame: checked by the caller.
    void copyMatch(uint32_t distance, uint32_t length, uint8_t* out, uint32_t& done) {
        uint32_t from = (windowPos_ - distance) & windowMask_;
        for (uint32_t i = 0; i < length; ++i) {
            uint8_t byte = window_[from];
            from = (from + 1) & windowMask_;
            window_[windowPos_] = byte;
            windowPos_ = (windowPos_ + 1) & windowMask_;
            out[done++] = byte;
        }
        history_ = history_ + length > windowMask_ + 1 ? windowMask_ + 1 : history_ + length;
    }

    Allocator alloc_;
    unsigned windowBits_;
    uint32_t windowMask_;
    uint8_t* window_;
    uint32_t windowPos_ = 0;
    uint32_t history_ = 0;  // bytes of the folder behind windowPos_, up to the window size
    bool broken_ = false;

    AdaptiveModel selector_;
    AdaptiveModel literal_[quantum::kLiteralModels];
    AdaptiveModel match3Position_;
    AdaptiveModel match4Position_;
    AdaptiveModel matchNPosition_;
    AdaptiveModel matchNLength_;
};

}  // namespace

BlockDecoder* createQuantumDecoder(const Allocator& alloc, unsigned windowBits) {
    if (windowBits < quantum::kMinWindowBits || windowBits > quantum::kMaxWindowBits)
        return nullptr;
    if (!alloc.alloc || !alloc.release) return nullptr;
    auto* window = static_cast<uint8_t*>(alloc.allocate(size_t{1} << windowBits));
    if (!window) return nullptr;
    QuantumDecoder* decoder = alloc.make<QuantumDecoder>(alloc, windowBits, window);
    if (!decoder) alloc.deallocate(window);
    return decoder;
}

}  // namespace cabinet
