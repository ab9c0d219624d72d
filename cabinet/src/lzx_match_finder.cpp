#include "lzx_match_finder.h"

#include <cstring>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

namespace cabinet::lzx {
namespace {

// A hint only: the memory is neither read nor required to exist.
inline void prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address);
#elif defined(_MSC_VER)
    _mm_prefetch(static_cast<const char*>(address), _MM_HINT_T0);
#endif
}

}  // namespace

void MatchFinder::attach(uint32_t* head, uint32_t* nodes, unsigned windowBits) {
    head_ = head;
    shortHead_ = head + (size_t{1} << kMatchHashBits);
    farHead_ = hasFarTable(windowBits) ? shortHead_ + (size_t{1} << kShortMatchHashBits) : nullptr;
    headEntries_ = headEntries(windowBits);
    nodes_ = nodes;
    nodeEntries_ = nodeEntries(windowBits);
    treeMask_ = static_cast<uint32_t>(nodeEntries_ / 2 - 1);
    bias_ = 1u << windowBits;
    // The format allows the window size minus 3, but 7-Zip's extractor mis-copies matches at
    // exactly that distance; one byte less costs nothing and keeps its users safe.
    maxOffset_ = (1u << windowBits) - 4;
    // A node's slot is taken again one ring later; nothing that old is followed.
    treeReach_ = treeMask_ < maxOffset_ ? treeMask_ : maxOffset_;
    shortReach_ = kShortMatchReach < maxOffset_ ? kShortMatchReach : maxOffset_;
}

void MatchFinder::clear() {
    std::memset(head_, 0, sizeof(uint32_t) * headEntries_);
    std::memset(nodes_, 0, sizeof(uint32_t) * nodeEntries_);
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
    // The first steps of the next search are memory misses; asking for them now overlaps them
    // with this search: the table entries two positions ahead, the tree's root node and bytes
    // one ahead.
    if (readable >= kFarMatchKey + 2) {
        prefetch(&head_[hash4(data + 2)]);
        const uint32_t rootDistance = here + 1 - head_[hash4(data + 1)];
        if (rootDistance <= treeReach_) {
            prefetch(&nodes_[2 * ((pos + 1 - rootDistance) & treeMask_)]);
            prefetch(data + 1 - rootDistance);
        }
        if (farHead_) prefetch(&farHead_[hash8(data + 2)]);
    }

    const uint32_t h3 = hash3(data);
    if constexpr (kReport) {
        const uint32_t distance = here - shortHead_[h3];
        if (distance <= shortReach_ && maxLength >= 3) {
            uint32_t len = commonLength(data, data - distance, maxLength);
            if (len > best) {
                best = len;
                out[count++] = {len, distance};
            }
        }
    }
    shortHead_[h3] = here;

    uint32_t farCandidate = 0;
    if (farHead_ && readable >= kFarMatchKey) {
        uint32_t& slot = farHead_[hash8(data)];
        farCandidate = slot;
        slot = here;
    }

    const uint32_t h = hash4(data);
    uint32_t candidate = head_[h];
    head_[h] = here;
    uint32_t* smaller = &nodes_[2 * (pos & treeMask_)];
    uint32_t* greater = smaller + 1;
    uint32_t smallerLength = 0, greaterLength = 0;
    for (unsigned depth = kReport ? maxDepth_ : insertDepth_;; --depth) {
        const uint32_t distance = here - candidate;
        if (distance > treeReach_ || depth == 0) {
            *smaller = *greater = 0;
            break;
        }
        const uint8_t* match = data - distance;
        uint32_t* links = &nodes_[2 * (candidate & treeMask_)];
        uint32_t len = smallerLength < greaterLength ? smallerLength : greaterLength;
        len += commonLength(data + len, match + len, limit - len);
        if constexpr (kReport) {
            // The tree vouches for the bytes it skipped only while every search used the same
            // limit; near the end of the input it did not, so a match is checked in full.
            uint32_t reported = len < maxLength ? len : maxLength;
            if (len > best && best < maxLength &&
                (limit == niceLength_ || commonLength(data, match, reported) == reported)) {
                // The tree stops comparing at its limit; the match itself may go on.
                if (len >= limit) {
                    reported +=
                        commonLength(data + reported, match + reported, maxLength - reported);
                }
                best = reported;
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

    if constexpr (kReport) {
        // Only what the trees cannot see; nearer copies were found above.
        const uint32_t distance = here - farCandidate;
        if (distance > treeReach_ && distance <= maxOffset_ && best < maxLength) {
            const uint32_t len = commonLength(data, data - distance, maxLength);
            if (len > best) out[count++] = {len, distance};
        }
    }
    return count;
}

template unsigned MatchFinder::search<true>(const uint8_t*, uint32_t, uint32_t, uint32_t, Match*);
template unsigned MatchFinder::search<false>(const uint8_t*, uint32_t, uint32_t, uint32_t, Match*);

}  // namespace cabinet::lzx
