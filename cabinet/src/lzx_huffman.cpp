#include "lzx_huffman.h"

#include <algorithm>

namespace cabinet::lzx {
namespace {

// Two-queue Huffman construction over leaves sorted by weight. Returns the longest length.
unsigned huffmanDepths(const uint32_t* weights, unsigned n, uint8_t* depth) {
    uint64_t nodeWeight[2 * kMaxHuffmanSymbols];
    uint16_t parent[2 * kMaxHuffmanSymbols];
    for (unsigned i = 0; i < n; ++i) nodeWeight[i] = weights[i];
    unsigned leaf = 0, inner = n, next = n;
    auto takeSmallest = [&]() {
        if (leaf < n && (inner >= next || nodeWeight[leaf] <= nodeWeight[inner])) return leaf++;
        return inner++;
    };
    while (next < 2 * n - 1) {
        const unsigned a = takeSmallest();
        const unsigned b = takeSmallest();
        nodeWeight[next] = nodeWeight[a] + nodeWeight[b];
        parent[a] = parent[b] = static_cast<uint16_t>(next);
        ++next;
    }
    uint8_t nodeDepth[2 * kMaxHuffmanSymbols];
    nodeDepth[2 * n - 2] = 0;
    unsigned longest = 0;
    for (unsigned i = 2 * n - 2; i-- > 0;) {
        nodeDepth[i] = static_cast<uint8_t>(nodeDepth[parent[i]] + 1);
        if (i < n) {
            depth[i] = nodeDepth[i];
            longest = std::max<unsigned>(longest, depth[i]);
        }
    }
    return longest;
}

}  // namespace

void buildCodeLengths(const uint32_t* freq, unsigned count, unsigned maxLength, uint8_t* lengths) {
    uint64_t keys[kMaxHuffmanSymbols];
    unsigned used = 0;
    for (unsigned s = 0; s < count; ++s) {
        lengths[s] = 0;
        if (freq[s]) keys[used++] = (uint64_t{freq[s]} << 16) | s;
    }
    // Pad to two symbols so the code is complete.
    for (unsigned s = 0; used < 2 && s < count; ++s) {
        if (!freq[s]) keys[used++] = s;
    }
    std::sort(keys, keys + used);

    uint32_t weights[kMaxHuffmanSymbols];
    for (unsigned i = 0; i < used; ++i) weights[i] = static_cast<uint32_t>(keys[i] >> 16);
    uint8_t depth[kMaxHuffmanSymbols];
    // Flattening the weights until the tree fits keeps the code a true Huffman code.
    while (huffmanDepths(weights, used, depth) > maxLength) {
        for (unsigned i = 0; i < used; ++i) weights[i] = (weights[i] >> 1) + 1;
    }
    for (unsigned i = 0; i < used; ++i) lengths[keys[i] & 0xFFFF] = depth[i];
}

void buildCanonicalCodes(const uint8_t* lengths, unsigned count, uint16_t* codes) {
    unsigned lengthCount[17] = {};
    for (unsigned s = 0; s < count; ++s) ++lengthCount[lengths[s]];
    lengthCount[0] = 0;
    unsigned nextCode[17] = {};
    unsigned code = 0;
    for (unsigned len = 1; len <= 16; ++len) {
        code = (code + lengthCount[len - 1]) << 1;
        nextCode[len] = code;
    }
    for (unsigned s = 0; s < count; ++s) {
        codes[s] = lengths[s] ? static_cast<uint16_t>(nextCode[lengths[s]]++) : 0;
    }
}

}  // namespace cabinet::lzx
