// Writes an LZX bit stream: bits go most significant first into 16-bit little-endian words.
#pragma once

#include <cstdint>

namespace cabinet::lzx {

class BitWriter {
public:
    explicit BitWriter(uint8_t* out) : out_(out) {}

    // Appends the low `count` bits of `bits` (count <= 32).
    void put(uint32_t bits, unsigned count) {
        buffer_ = (buffer_ << count) | bits;
        pending_ += count;
        while (pending_ >= 16) {
            pending_ -= 16;
            const auto word = static_cast<uint16_t>(buffer_ >> pending_);
            out_[size_] = static_cast<uint8_t>(word);
            out_[size_ + 1] = static_cast<uint8_t>(word >> 8);
            size_ += 2;
        }
    }

    // Pads with zero bits up to the next 16-bit boundary (nothing when already there).
    void alignToWord() {
        if (pending_) put(0, 16 - pending_);
    }

    // Raw bytes, for uncompressed blocks; the stream must be word aligned.
    void putBytes(const uint8_t* data, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) out_[size_ + i] = data[i];
        size_ += count;
    }
    void putLittleEndian32(uint32_t value) {
        for (unsigned i = 0; i < 4; ++i) out_[size_++] = static_cast<uint8_t>(value >> (8 * i));
    }

    // Bytes completed so far (a partial word is not counted until aligned).
    uint32_t size() const { return size_; }
    // Total bits written, for header alignment arithmetic.
    uint64_t bitCount() const { return uint64_t{size_} * 8 + pending_; }

private:
    uint8_t* out_;
    uint32_t size_ = 0;
    uint64_t buffer_ = 0;
    unsigned pending_ = 0;
};

}  // namespace cabinet::lzx
