#include "lzx_match_finder.h"

#include <bit>
#include <cstring>

namespace cabinet::lzx {

uint32_t commonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t len = 0;
    while (len + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (const uint64_t diff = x ^ y) {
            return len + static_cast<uint32_t>(std::countr_zero(diff)) / 8;
        }
        len += 8;
    }
    while (len < limit && a[len] == b[len]) ++len;
    return len;
}

void MatchFinder::attach(uint32_t* head, uint32_t* chain, unsigned windowBits) {
    head_ = head;
    chain_ = chain;
    mask_ = (1u << windowBits) - 1;
    bias_ = 1u << windowBits;
    // The format allows the window size minus 3, but 7-Zip's extractor mis-copies matches at
    // exactly that distance; one byte less costs nothing and keeps its users safe.
    maxOffset_ = (1u << windowBits) - 4;
}

void MatchFinder::clear() {
    std::memset(head_, 0, sizeof(uint32_t) << kMatchHashBits);
    std::memset(chain_, 0, sizeof(uint32_t) * (mask_ + 1));
}

unsigned MatchFinder::find(const uint8_t* data, uint32_t pos, uint32_t maxLength, Match* out) {
    const uint32_t h = hash(data);
    const uint32_t here = pos + bias_;
    uint32_t candidate = head_[h];
    head_[h] = here;
    chain_[pos & mask_] = candidate;

    unsigned count = 0;
    uint32_t best = 2;
    const uint32_t nice = niceLength_ < maxLength ? niceLength_ : maxLength;
    for (unsigned depth = maxDepth_; depth; --depth) {
        const uint32_t distance = here - candidate;
        if (distance > maxOffset_) break;
        const uint8_t* match = data - distance;
        // The byte that would make this match longer than the best must agree first (best is
        // below maxLength here, so it is readable).
        if (match[best] == data[best]) {
            const uint32_t len = commonLength(data, match, maxLength);
            if (len > best) {
                best = len;
                out[count++] = {len, distance};
                if (len >= nice || count == kMaxMatchesPerPosition) break;
            }
        }
        candidate = chain_[candidate & mask_];
    }
    return count;
}

}  // namespace cabinet::lzx
