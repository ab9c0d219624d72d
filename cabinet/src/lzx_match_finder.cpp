#include "lzx_match_finder.h"

#include <cstring>

namespace cabinet::lzx {

void MatchFinder::attach(uint32_t* head, uint32_t* nodes, unsigned windowBits) {
    head_ = head;
    shortHead_ = head + (size_t{1} << kMatchHashBits);
    nodes_ = nodes;
    mask_ = (1u << windowBits) - 1;
    bias_ = 1u << windowBits;
    // The format allows the window size minus 3, but 7-Zip's extractor mis-copies matches at
    // exactly that distance; one byte less costs nothing and keeps its users safe.
    maxOffset_ = (1u << windowBits) - 4;
}

void MatchFinder::clear() {
    std::memset(head_, 0, sizeof(uint32_t) * headEntries());
    std::memset(nodes_, 0, sizeof(uint32_t) * 2 * (size_t{mask_} + 1));
}

template <bool kReport>
unsigned MatchFinder::search(const uint8_t* data, uint32_t pos, uint32_t readable,
                             uint32_t maxLength, Match* out) {
    const uint32_t here = pos + bias_;
    // The tree orders positions by at most `limit` bytes, the same for every search so that
    // the order stays consistent; reported lengths are cut to maxLength afterwards.
    const uint32_t limit = niceLength_ < readable ? niceLength_ : readable;
    unsigned count = 0;
    uint32_t best = 2;

    const uint32_t h3 = hash3(data);
    if constexpr (kReport) {
        const uint32_t distance = here - shortHead_[h3];
        if (distance <= maxOffset_ && maxLength >= 3) {
            uint32_t len = commonLength(data, data - distance, maxLength);
            if (len > best) {
                best = len;
                out[count++] = {len, distance};
            }
        }
    }
    shortHead_[h3] = here;

    const uint32_t h = hash4(data);
    if (readable >= 5) __builtin_prefetch(&head_[hash4(data + 1)]);
    uint32_t candidate = head_[h];
    head_[h] = here;
    uint32_t* smaller = &nodes_[2 * (pos & mask_)];
    uint32_t* greater = smaller + 1;
    uint32_t smallerLength = 0, greaterLength = 0;
    for (unsigned depth = kReport ? maxDepth_ : insertDepth_;; --depth) {
        const uint32_t distance = here - candidate;
        if (distance > maxOffset_ || depth == 0) {
            *smaller = *greater = 0;
            break;
        }
        const uint8_t* match = data - distance;
        uint32_t* links = &nodes_[2 * (candidate & mask_)];
        uint32_t len = smallerLength < greaterLength ? smallerLength : greaterLength;
        len += commonLength(data + len, match + len, limit - len);
        if constexpr (kReport) {
            // The tree vouches for the bytes it skipped only while every search used the same
            // limit; near the end of the input it did not, so a match is checked in full.
            const uint32_t reported = len < maxLength ? len : maxLength;
            if (len > best && best < maxLength &&
                (limit == niceLength_ || commonLength(data, match, reported) == reported)) {
                best = len;
                out[count++] = {reported, distance};
                if (count == kMaxMatchesPerPosition) best = maxLength;
            }
        }
        if (len >= limit) {
            // Equal as far as the tree looks: the new position takes the old one's place.
            *smaller = links[0];
            *greater = links[1];
            break;
        }
        if (match[len] < data[len]) {
            *smaller = candidate;
            smaller = &links[1];
            candidate = *smaller;
            smallerLength = len;
        } else {
            *greater = candidate;
            greater = &links[0];
            candidate = *greater;
            greaterLength = len;
        }
    }
    return count;
}

template unsigned MatchFinder::search<true>(const uint8_t*, uint32_t, uint32_t, uint32_t, Match*);
template unsigned MatchFinder::search<false>(const uint8_t*, uint32_t, uint32_t, uint32_t, Match*);

}  // namespace cabinet::lzx
