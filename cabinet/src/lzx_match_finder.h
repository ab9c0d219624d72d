// Hash-chain match finder over the encoder's sliding window.
//
// Positions are absolute stream positions. The chain links live in a ring as large as the
// window, so a link is only followed while it is younger than the window; entries hold the
// position plus the window size so that the zeroed tables mean "too far back".
#pragma once

#include <cstdint>

namespace cabinet::lzx {

struct Match {
    uint32_t length;
    uint32_t offset;
};

constexpr unsigned kMatchHashBits = 16;
constexpr unsigned kMaxMatchesPerPosition = 64;

class MatchFinder {
public:
    // `head` holds 1 << kMatchHashBits entries, `chain` 1 << windowBits.
    void attach(uint32_t* head, uint32_t* chain, unsigned windowBits);
    void clear();
    void setEffort(unsigned maxDepth, unsigned niceLength) {
        maxDepth_ = maxDepth;
        niceLength_ = niceLength;
    }

    // Finds matches for the bytes at `data` (stream position `pos`) no longer than maxLength and
    // inserts the position. Writes matches of strictly increasing length, each with the nearest
    // offset seen for that length, and returns their number. Needs three readable bytes.
    unsigned find(const uint8_t* data, uint32_t pos, uint32_t maxLength, Match* out);
    // Inserts the position without searching. Needs three readable bytes.
    void insert(const uint8_t* data, uint32_t pos) {
        const uint32_t h = hash(data);
        chain_[pos & mask_] = head_[h];
        head_[h] = pos + bias_;
    }

    uint32_t maxOffset() const { return maxOffset_; }

private:
    static uint32_t hash(const uint8_t* p) {
        const uint32_t v = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
        return (v * 2654435761u) >> (32 - kMatchHashBits);
    }

    uint32_t* head_ = nullptr;
    uint32_t* chain_ = nullptr;
    uint32_t mask_ = 0;
    uint32_t bias_ = 0;
    uint32_t maxOffset_ = 0;
    unsigned maxDepth_ = 32;
    unsigned niceLength_ = 64;
};

// Length of the common prefix of a and b, at most `limit` bytes.
uint32_t commonLength(const uint8_t* a, const uint8_t* b, uint32_t limit);

}  // namespace cabinet::lzx
