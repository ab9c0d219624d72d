// Match finder over the encoder's sliding window, in two reaches.
//
// Near: each of the last 2^kTreeBits positions is a node of a binary search tree, one tree per
// four-byte hash, ordered by the bytes that follow; searching a position also inserts it at
// the root, so the path walked is the path of the nearest, longest candidates. Nodes live in
// a ring of 2^kTreeBits entries and a link is only followed while it is younger than that.
// Keeping the trees this small keeps them in cache, which is most of the encoder's speed.
//
// Far: beyond the trees, a table holds the latest position of each eight-byte hash. Text that
// comes back after a long while mostly comes back as whole lines, which this finds at one
// probe. A table of three-byte hashes does the same for short matches close by.
//
// Entries hold the position plus the window size so that zeroed tables mean "too far back".
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace cabinet::lzx {

struct Match {
    uint32_t length;
    uint32_t offset;
};

constexpr unsigned kMatchHashBits = 17;
constexpr unsigned kShortMatchHashBits = 14;
constexpr unsigned kFarMatchHashBits = 20;
constexpr unsigned kTreeBits = 18;
constexpr unsigned kMaxMatchesPerPosition = 64;
// The far table is keyed on this many bytes: shorter matches rarely pay for a far offset.
constexpr uint32_t kFarMatchKey = 8;
// A three-byte match pays for its offset only when that offset is short.
constexpr uint32_t kShortMatchReach = 1u << 16;

class MatchFinder {
public:
    static constexpr bool hasFarTable(unsigned windowBits) { return windowBits > kTreeBits; }
    static constexpr size_t headEntries(unsigned windowBits) {
        return (size_t{1} << kMatchHashBits) + (size_t{1} << kShortMatchHashBits) +
               (hasFarTable(windowBits) ? size_t{1} << kFarMatchHashBits : 0);
    }
    static constexpr size_t nodeEntries(unsigned windowBits) {
        return size_t{2} << (windowBits < kTreeBits ? windowBits : kTreeBits);
    }

    // `head` holds headEntries(windowBits), `nodes` nodeEntries(windowBits) entries.
    void attach(uint32_t* head, uint32_t* nodes, unsigned windowBits);
    void clear();
    // How many tree nodes a search (and an insertion alone) visits at most, and the length
    // that ends it.
    void setEffort(unsigned maxDepth, unsigned insertDepth, unsigned niceLength) {
        maxDepth_ = maxDepth;
        insertDepth_ = insertDepth;
        niceLength_ = niceLength;
    }

    // Finds matches for the bytes at `data` (stream position `pos`) and inserts the position.
    // `readable` bytes (at least 4) are valid from `data`; reported lengths are cut to
    // maxLength. Writes matches of strictly increasing length, each with the nearest offset
    // found for that length, and returns their number.
    unsigned find(const uint8_t* data, uint32_t pos, uint32_t readable, uint32_t maxLength,
                  Match* out) {
        return search<true>(data, pos, readable, maxLength, out);
    }
    // Inserts the position without reporting matches.
    void insert(const uint8_t* data, uint32_t pos, uint32_t readable) {
        search<false>(data, pos, readable, 0, nullptr);
    }

    uint32_t maxOffset() const { return maxOffset_; }

private:
    template <bool kReport>
    unsigned search(const uint8_t* data, uint32_t pos, uint32_t readable, uint32_t maxLength,
                    Match* out);

    static uint32_t load32(const uint8_t* p) {
        return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    }
    static uint64_t load64(const uint8_t* p) { return load32(p) | (uint64_t{load32(p + 4)} << 32); }
    static uint32_t hash4(const uint8_t* p) {
        return (load32(p) * 2654435761u) >> (32 - kMatchHashBits);
    }
    static uint32_t hash3(const uint8_t* p) {
        return ((load32(p) << 8) * 2654435761u) >> (32 - kShortMatchHashBits);
    }
    static uint32_t hash8(const uint8_t* p) {
        return static_cast<uint32_t>((load64(p) * 0x9E3779B97F4A7C15u) >> (64 - kFarMatchHashBits));
    }

    uint32_t* head_ = nullptr;
    uint32_t* shortHead_ = nullptr;
    uint32_t* farHead_ = nullptr;  // null when the trees reach across the whole window
    uint32_t* nodes_ = nullptr;    // two links per position: smaller, then greater
    size_t headEntries_ = 0;
    size_t nodeEntries_ = 0;
    uint32_t treeMask_ = 0;
    uint32_t treeReach_ = 0;
    uint32_t shortReach_ = 0;
    uint32_t bias_ = 0;
    uint32_t maxOffset_ = 0;
    unsigned maxDepth_ = 16;
    unsigned insertDepth_ = 16;
    unsigned niceLength_ = 32;
};

// Length of the common prefix of a and b, at most `limit` bytes.
inline uint32_t commonLength(const uint8_t* a, const uint8_t* b, uint32_t limit) {
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

}  // namespace cabinet::lzx
