#include "lzx_block_writer.h"

#include <cstring>

#include "lzx_huffman.h"

namespace cabinet::lzx {
namespace {

// Pretree symbols: 0..16 change a length by -symbol mod 17; 17 and 18 are runs of zeros; 19 is
// a short run of one value, followed by the symbol that gives the value.
constexpr unsigned kZeroRun = 17;
constexpr unsigned kLongZeroRun = 18;
constexpr unsigned kSameRun = 19;
constexpr unsigned kMaxPretreeLength = (1u << kPretreeLengthBits) - 1;
constexpr unsigned kMaxAlignedLength = (1u << kAlignedLengthBits) - 1;

struct PretreeToken {
    uint8_t symbol;
    uint8_t extraBits;
    uint8_t extra;
};

uint8_t lengthDelta(uint8_t previous, uint8_t length) {
    return static_cast<uint8_t>((previous + 17 - length) % 17);
}

// Turns the lengths of one range into pretree tokens. `sameRuns` chooses whether runs of an
// equal non-zero length use symbol 19 (cheaper only for some trees, so both are tried).
unsigned tokenize(const uint8_t* previous, const uint8_t* lengths, unsigned n, bool sameRuns,
                  PretreeToken* tokens) {
    unsigned count = 0;
    unsigned i = 0;
    while (i < n) {
        const uint8_t value = lengths[i];
        unsigned run = 1;
        while (i + run < n && lengths[i + run] == value) ++run;
        if (value == 0) {
            while (run >= 20) {
                const unsigned r = run < 51 ? run : 51;
                tokens[count++] = {kLongZeroRun, 5, static_cast<uint8_t>(r - 20)};
                i += r;
                run -= r;
            }
            if (run >= 4) {
                tokens[count++] = {kZeroRun, 4, static_cast<uint8_t>(run - 4)};
                i += run;
                run = 0;
            }
        } else if (sameRuns) {
            while (run >= 4) {
                const unsigned r = run < 5 ? run : 5;
                tokens[count++] = {kSameRun, 1, static_cast<uint8_t>(r - 4)};
                tokens[count++] = {lengthDelta(previous[i], value), 0, 0};
                i += r;
                run -= r;
            }
        }
        for (; run; --run, ++i) tokens[count++] = {lengthDelta(previous[i], value), 0, 0};
    }
    return count;
}

// Bits of one pretree-coded range; writes it when `out` is given.
uint64_t codeRange(const uint8_t* previous, const uint8_t* lengths, unsigned n, BitWriter* out) {
    PretreeToken tokens[kMaxMainTreeSymbols];
    uint8_t pretree[kPretreeSymbols];
    uint64_t bestBits = UINT64_MAX;
    bool bestSameRuns = false;
    for (const bool sameRuns : {false, true}) {
        const unsigned count = tokenize(previous, lengths, n, sameRuns, tokens);
        uint32_t freq[kPretreeSymbols] = {};
        for (unsigned t = 0; t < count; ++t) ++freq[tokens[t].symbol];
        buildCodeLengths(freq, kPretreeSymbols, kMaxPretreeLength, pretree);
        uint64_t bits = kPretreeSymbols * kPretreeLengthBits;
        for (unsigned t = 0; t < count; ++t)
            bits += pretree[tokens[t].symbol] + tokens[t].extraBits;
        if (bits < bestBits) {
            bestBits = bits;
            bestSameRuns = sameRuns;
        }
    }
    if (out) {
        const unsigned count = tokenize(previous, lengths, n, bestSameRuns, tokens);
        uint32_t freq[kPretreeSymbols] = {};
        for (unsigned t = 0; t < count; ++t) ++freq[tokens[t].symbol];
        buildCodeLengths(freq, kPretreeSymbols, kMaxPretreeLength, pretree);
        uint16_t codes[kPretreeSymbols];
        buildCanonicalCodes(pretree, kPretreeSymbols, codes);
        for (unsigned s = 0; s < kPretreeSymbols; ++s) out->put(pretree[s], kPretreeLengthBits);
        for (unsigned t = 0; t < count; ++t) {
            const PretreeToken& token = tokens[t];
            out->put(codes[token.symbol], pretree[token.symbol]);
            if (token.extraBits) out->put(token.extra, token.extraBits);
        }
    }
    return bestBits;
}

uint64_t codeTrees(const TreeLengths& previous, const TreeLengths& lengths, unsigned mainSymbols,
                   BitWriter* out) {
    uint64_t bits = codeRange(previous.main, lengths.main, kNumChars, out);
    bits += codeRange(previous.main + kNumChars, lengths.main + kNumChars, mainSymbols - kNumChars,
                      out);
    bits += codeRange(previous.length, lengths.length, kNumSecondaryLengths, out);
    return bits;
}

}  // namespace

void SymbolCounts::clear() {
    std::memset(this, 0, sizeof(*this));
}

void SymbolCounts::add(const SymbolCounts& other) {
    for (unsigned s = 0; s < kMaxMainTreeSymbols; ++s) main[s] += other.main[s];
    for (unsigned s = 0; s < kNumSecondaryLengths; ++s) length[s] += other.length[s];
    for (unsigned s = 0; s < kAlignedSymbols; ++s) aligned[s] += other.aligned[s];
    footerBits += other.footerBits;
    alignedFooters += other.alignedFooters;
}

void countSymbols(const Item* items, size_t count, RepeatedOffsets& reps, SymbolCounts& counts) {
    for (size_t i = 0; i < count; ++i) {
        const Item& item = items[i];
        if (item.length == 1) {
            ++counts.main[item.literal];
            continue;
        }
        const CodedMatch coded = codeMatch(item.length, item.offset, reps);
        ++counts.main[coded.mainSymbol];
        if (coded.lengthSymbol != kNoLengthSymbol) ++counts.length[coded.lengthSymbol];
        counts.footerBits += coded.footerBits;
        if (coded.footerBits >= 3) {
            ++counts.alignedFooters;
            ++counts.aligned[coded.footer & 7];
        }
    }
}

void planCompressedBlock(const SymbolCounts& counts, unsigned mainSymbols,
                         const TreeLengths& previous, BlockPlan& plan) {
    std::memset(plan.lengths.main, 0, sizeof(plan.lengths.main));
    buildCodeLengths(counts.main, mainSymbols, kMaxCodeLength, plan.lengths.main);
    buildCodeLengths(counts.length, kNumSecondaryLengths, kMaxCodeLength, plan.lengths.length);
    buildCodeLengths(counts.aligned, kAlignedSymbols, kMaxAlignedLength, plan.alignedLengths);

    uint64_t bits = kBlockHeaderBits + codeTrees(previous, plan.lengths, mainSymbols, nullptr);
    for (unsigned s = 0; s < mainSymbols; ++s)
        bits += uint64_t{counts.main[s]} * plan.lengths.main[s];
    for (unsigned s = 0; s < kNumSecondaryLengths; ++s) {
        bits += uint64_t{counts.length[s]} * plan.lengths.length[s];
    }
    uint64_t alignedBits =
        bits + kAlignedSymbols * kAlignedLengthBits + counts.footerBits - 3 * counts.alignedFooters;
    for (unsigned s = 0; s < kAlignedSymbols; ++s) {
        alignedBits += uint64_t{counts.aligned[s]} * plan.alignedLengths[s];
    }
    bits += counts.footerBits;
    plan.type = counts.alignedFooters && alignedBits < bits ? kAligned : kVerbatim;
    plan.bits = plan.type == kAligned ? alignedBits : bits;

    buildCanonicalCodes(plan.lengths.main, mainSymbols, plan.mainCodes);
    buildCanonicalCodes(plan.lengths.length, kNumSecondaryLengths, plan.lengthCodes);
    buildCanonicalCodes(plan.alignedLengths, kAlignedSymbols, plan.alignedCodes);
}

void writeBlockHeader(BitWriter& out, const BlockPlan& plan, uint32_t blockSize,
                      unsigned mainSymbols, const TreeLengths& previous) {
    out.put(plan.type, 3);
    out.put(blockSize, 24);
    if (plan.type == kAligned) {
        for (unsigned s = 0; s < kAlignedSymbols; ++s) {
            out.put(plan.alignedLengths[s], kAlignedLengthBits);
        }
    }
    codeTrees(previous, plan.lengths, mainSymbols, &out);
}

void writeItems(BitWriter& out, const BlockPlan& plan, const Item* items, size_t count,
                RepeatedOffsets& reps) {
    const bool aligned = plan.type == kAligned;
    for (size_t i = 0; i < count; ++i) {
        const Item& item = items[i];
        if (item.length == 1) {
            out.put(plan.mainCodes[item.literal], plan.lengths.main[item.literal]);
            continue;
        }
        const CodedMatch coded = codeMatch(item.length, item.offset, reps);
        out.put(plan.mainCodes[coded.mainSymbol], plan.lengths.main[coded.mainSymbol]);
        if (coded.lengthSymbol != kNoLengthSymbol) {
            out.put(plan.lengthCodes[coded.lengthSymbol], plan.lengths.length[coded.lengthSymbol]);
        }
        if (aligned && coded.footerBits >= 3) {
            out.put(coded.footer >> 3, coded.footerBits - 3);
            const unsigned low = coded.footer & 7;
            out.put(plan.alignedCodes[low], plan.alignedLengths[low]);
        } else {
            out.put(coded.footer, coded.footerBits);
        }
    }
}

}  // namespace cabinet::lzx
