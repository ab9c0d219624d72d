#include "quantum_test_encoder.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "quantum_model.h"
#include "quantum_tables.h"

namespace cabinet::testing {

using quantum::AdaptiveModel;

// The arithmetic encoder mirroring the decoder. Code bits are collected apart from the raw
// extra bits: the decoder reads a raw field after the 16 code bits it holds ahead, so each
// field is slotted in after code bit 16 + (shifts so far) when the frame is assembled.
class FrameEncoder {
public:
    void encode(AdaptiveModel& model, unsigned symbol) {
        unsigned index = model.indexOf(static_cast<uint16_t>(symbol));
        uint32_t range = high_ - low_ + 1;
        uint32_t total = model.total();
        high_ = low_ + model.cumulative(index) * range / total - 1;
        low_ = low_ + model.cumulative(index + 1) * range / total;
        model.update(index);
        for (;;) {
            if (!((low_ ^ high_) & 0x8000)) {
                emit(high_ >> 15);
            } else if ((low_ & 0x4000) && !(high_ & 0x4000)) {
                ++pending_;
                low_ &= 0x3FFF;
                high_ |= 0x4000;
            } else {
                break;
            }
            low_ = (low_ << 1) & 0xFFFF;
            high_ = ((high_ << 1) | 1) & 0xFFFF;
            ++shifts_;
        }
    }

    void raw(uint32_t value, unsigned bits) {
        if (bits) raws_.push_back({shifts_, value, bits});
    }

    // Settles on a value inside the final interval (any bits may follow it) and lays out the
    // frame: exactly the bits the decoder reads, padded to whole bytes.
    std::vector<uint8_t> finish() {
        ++pending_;
        emit(low_ < 0x4000 ? 0 : 1);
        code_.resize(std::max<size_t>(code_.size(), 16 + shifts_), 0);
        std::vector<uint8_t> bits;
        size_t used = 0;
        for (const auto& field : raws_) {
            size_t upTo = 16 + field.afterShifts;
            bits.insert(bits.end(), code_.begin() + used, code_.begin() + upTo);
            used = upTo;
            for (unsigned b = field.bits; b-- > 0;) bits.push_back((field.value >> b) & 1);
        }
        bits.insert(bits.end(), code_.begin() + used, code_.begin() + 16 + shifts_);
        std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
        for (size_t i = 0; i < bits.size(); ++i)
            bytes[i / 8] |= static_cast<uint8_t>(bits[i] << (7 - i % 8));
        return bytes;
    }

private:
    void emit(uint32_t bit) {
        code_.push_back(static_cast<uint8_t>(bit));
        for (; pending_ > 0; --pending_) code_.push_back(static_cast<uint8_t>(bit ^ 1));
    }

    struct RawField {
        size_t afterShifts;
        uint32_t value;
        unsigned bits;
    };
    uint32_t low_ = 0, high_ = 0xFFFF;
    size_t shifts_ = 0, pending_ = 0;
    std::vector<uint8_t> code_;
    std::vector<RawField> raws_;
};

namespace {

void encodePosition(FrameEncoder& coder, AdaptiveModel& model, uint32_t distance) {
    const auto& t = quantum::kPositionSlots;
    uint32_t value = distance - 1;
    unsigned slot = 0;
    while (slot + 1 < model.entries() && t.base[slot + 1] <= value) ++slot;
    coder.encode(model, slot);
    coder.raw(value - t.base[slot], t.extraBits[slot]);
}

void encodeLength(FrameEncoder& coder, AdaptiveModel& model, uint32_t length) {
    const auto& t = quantum::kLengthSlotTable;
    uint32_t value = length - quantum::kMinMatchN;
    unsigned slot = 0;
    while (slot + 1 < quantum::kLengthSlots && t.base[slot + 1] <= value) ++slot;
    coder.encode(model, slot);
    coder.raw(value - t.base[slot], t.extraBits[slot]);
}

uint32_t hash3(const uint8_t* p) {
    return ((p[0] << 10) ^ (p[1] << 5) ^ p[2]) & 0xFFFF;
}

}  // namespace

QuantumTokenEncoder::QuantumTokenEncoder(unsigned windowBits)
    : coder_(std::make_unique<FrameEncoder>()) {
    using namespace quantum;
    selector_.init(0, kSelectors);
    for (unsigned m = 0; m < kLiteralModels; ++m)
        literal_[m].init(static_cast<uint16_t>(m * kLiteralsPerModel), kLiteralsPerModel);
    match3Position_.init(0, match3PositionSlots(windowBits));
    match4Position_.init(0, match4PositionSlots(windowBits));
    matchNPosition_.init(0, positionSlots(windowBits));
    matchNLength_.init(0, kLengthSlots);
}

QuantumTokenEncoder::~QuantumTokenEncoder() = default;

uint32_t QuantumTokenEncoder::maxDistance(unsigned length) const {
    const AdaptiveModel& model = length == 3   ? match3Position_
                                 : length == 4 ? match4Position_
                                               : matchNPosition_;
    const auto& t = quantum::kPositionSlots;
    unsigned last = model.entries() - 1;
    return t.base[last] + (uint32_t{1} << t.extraBits[last]);
}

void QuantumTokenEncoder::literal(uint8_t byte) {
    using namespace quantum;
    coder_->encode(selector_, byte / kLiteralsPerModel);
    coder_->encode(literal_[byte / kLiteralsPerModel], byte);
    frameSize_ += 1;
}

void QuantumTokenEncoder::match(uint32_t length, uint32_t distance) {
    using namespace quantum;
    if (length < 3 || length > kMaxMatchN || distance < 1 || distance > maxDistance(length))
        throw std::invalid_argument("match the format cannot code");
    if (length == 3) {
        coder_->encode(selector_, kSelectorMatch3);
        encodePosition(*coder_, match3Position_, distance);
    } else if (length == 4) {
        coder_->encode(selector_, kSelectorMatch4);
        encodePosition(*coder_, match4Position_, distance);
    } else {
        coder_->encode(selector_, kSelectorMatchN);
        encodeLength(*coder_, matchNLength_, length);
        encodePosition(*coder_, matchNPosition_, distance);
    }
    frameSize_ += length;
}

DataBlock QuantumTokenEncoder::endFrame() {
    DataBlock block;
    block.data = coder_->finish();
    block.uncompressedSize = frameSize_;
    coder_ = std::make_unique<FrameEncoder>();
    frameSize_ = 0;
    return block;
}

std::vector<DataBlock> quantumEncode(const std::vector<uint8_t>& data, unsigned windowBits) {
    using namespace quantum;
    QuantumTokenEncoder encoder(windowBits);
    const uint32_t window = uint32_t{1} << windowBits;
    const uint32_t max3 = encoder.maxDistance(3), max4 = encoder.maxDistance(4);
    std::vector<int64_t> head(1 << 16, -1);
    auto insert = [&](size_t at) {
        if (at + 3 <= data.size()) head[hash3(&data[at])] = static_cast<int64_t>(at);
    };

    std::vector<DataBlock> blocks;
    for (size_t frameStart = 0; frameStart < data.size(); frameStart += kFrameSize) {
        size_t frameEnd = std::min<size_t>(frameStart + kFrameSize, data.size());
        size_t at = frameStart;
        while (at < frameEnd) {
            uint32_t length = 0, distance = 0;
            size_t limit = std::min<size_t>(kMaxMatchN, frameEnd - at);
            if (limit >= 3) {
                int64_t candidate = head[hash3(&data[at])];
                if (candidate >= 0 && at - candidate <= window) {
                    distance = static_cast<uint32_t>(at - candidate);
                    while (length < limit && data[candidate + length] == data[at + length])
                        ++length;
                }
            }
            if (length == 4 && distance > max4) length = 3;
            if (length == 3 && distance > max3) length = 0;
            if (length >= 3) {
                encoder.match(length, distance);
            } else {
                length = 1;
                encoder.literal(data[at]);
            }
            for (uint32_t i = 0; i < length; ++i) insert(at + i);
            at += length;
        }
        blocks.push_back(encoder.endFrame());
    }
    return blocks;
}

}  // namespace cabinet::testing
