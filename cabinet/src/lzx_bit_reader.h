// The LZX bit stream: little-endian 16-bit words, each read from its most significant bit.
//
// The next bit is the top bit of a 64-bit buffer, refilled four words at a time. Past the end
// of the input the reader supplies zero words and counts them, so the caller can tell a stream
// that ran short (overrun()) without the reader ever touching a byte beyond the input.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cabinet::lzx {

class BitReader {
public:
    // Bits guaranteed in the buffer after refill(): a main symbol, a length symbol and the
    // widest verbatim offset (16 + 16 + 17) fit in one refill.
    static constexpr unsigned kRefilledBits = 49;

    void start(const uint8_t* in, size_t size) {
        begin_ = next_ = in;
        end_ = in + size;
        buffer_ = 0;
        count_ = 0;
        padding_ = 0;
    }

    void refill() {
        if (count_ >= kRefilledBits) return;
        if (end_ - next_ >= 8) {
            // Stream order of four words is w0 w1 w2 w3; the little-endian load gives
            // w3 w2 w1 w0 from the top, so swap the 32-bit halves, then the words in each half.
            uint64_t w = load64(next_);
            w = (w >> 32) | (w << 32);
            w = ((w & 0x0000FFFF0000FFFFull) << 16) | ((w >> 16) & 0x0000FFFF0000FFFFull);
            // Bits below the whole words taken are the stream's next bits too; the next refill
            // ORs the same bits over them.
            buffer_ |= w >> count_;
            unsigned words = (64 - count_) >> 4;
            next_ += words * 2;
            count_ += words * 16;
        } else {
            refillNearEnd();
        }
    }

    uint64_t buffer() const { return buffer_; }
    unsigned count() const { return count_; }
    void consume(unsigned n) {
        buffer_ <<= n;
        count_ -= n;
    }
    // The next n bits (0..32) as a number; the caller has refilled enough of them.
    uint32_t take(unsigned n) {
        uint32_t value = static_cast<uint32_t>((buffer_ >> 1) >> (63 - n));
        consume(n);
        return value;
    }
    uint32_t read(unsigned n) {
        refill();
        return take(n);
    }

    // Bits consumed since start(), counting supplied zero words.
    uint64_t position() const {
        return (static_cast<uint64_t>(next_ - begin_) + padding_) * 8 - count_;
    }
    bool overrun() const { return position() > static_cast<uint64_t>(end_ - begin_) * 8; }

    // Skips to the next 16-bit boundary, a whole word when already on one (the padding before
    // an uncompressed block), and answers the input byte offset reached.
    size_t alignToWordAfterPadding() const { return (position() / 16 + 1) * 2; }

private:
    static uint64_t load64(const uint8_t* p) {
        uint64_t v;
        std::memcpy(&v, p, sizeof v);
        if constexpr (std::endian::native == std::endian::big) v = byteSwap(v);
        return v;
    }
    static uint64_t byteSwap(uint64_t v) {
        uint64_t r = 0;
        for (int i = 0; i < 8; ++i, v >>= 8) r = (r << 8) | (v & 0xFF);
        return r;
    }

    void refillNearEnd() {
        while (count_ < kRefilledBits) {
            uint64_t word = 0;
            if (end_ - next_ >= 2) {
                word = next_[0] | (next_[1] << 8);
                next_ += 2;
            } else if (next_ < end_) {
                word = next_[0];  // the word's high byte, read first, lies past the input
                next_ += 1;
                padding_ += 1;
            } else {
                padding_ += 2;
            }
            buffer_ |= word << (48 - count_);
            count_ += 16;
        }
    }

    const uint8_t* begin_ = nullptr;
    const uint8_t* next_ = nullptr;
    const uint8_t* end_ = nullptr;
    uint64_t buffer_ = 0;
    unsigned count_ = 0;
    uint32_t padding_ = 0;
};

}  // namespace cabinet::lzx
