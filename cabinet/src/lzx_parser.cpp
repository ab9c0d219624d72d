#include "lzx_parser.h"

#include "lzx_block_writer.h"
#include "lzx_huffman.h"

namespace cabinet::lzx {
namespace {

constexpr uint32_t kUnreached = UINT32_MAX;
// Positions at each end of a long match that go into the match finder.
constexpr uint32_t kInsertedEnds = 4;

inline unsigned lengthHeader(uint32_t length) {
    return length - kMinMatch < 7 ? length - kMinMatch : 7;
}

}  // namespace

void Parser::resetCosts() {
    // Before any statistics: literals at 8 bits, matches a little dearer than an even spread.
    for (unsigned s = 0; s < kMaxMainTreeSymbols; ++s) costs_.main[s] = s < kNumChars ? 8 : 10;
    for (unsigned s = 0; s < kNumSecondaryLengths; ++s) costs_.length[s] = 8;
    history_.clear();
}

void Parser::learnCosts(SymbolCounts counts) {
    // Older frames count half as much each time; one extra count each keeps unseen symbols
    // priced as rare rather than impossible.
    for (unsigned s = 0; s < mainSymbols_; ++s) {
        history_.main[s] = history_.main[s] / 2 + counts.main[s];
        counts.main[s] = history_.main[s] + 1;
    }
    for (unsigned s = 0; s < kNumSecondaryLengths; ++s) {
        history_.length[s] = history_.length[s] / 2 + counts.length[s];
        counts.length[s] = history_.length[s] + 1;
    }
    uint8_t lengths[kMaxMainTreeSymbols];
    buildCodeLengths(counts.main, mainSymbols_, kMaxCodeLength, lengths);
    for (unsigned s = 0; s < mainSymbols_; ++s) costs_.main[s] = lengths[s];
    buildCodeLengths(counts.length, kNumSecondaryLengths, kMaxCodeLength, lengths);
    for (unsigned s = 0; s < kNumSecondaryLengths; ++s) costs_.length[s] = lengths[s];
}

uint32_t Parser::parseFrame(const uint8_t* frame, uint32_t pos, uint32_t size, uint32_t readable,
                            RepeatedOffsets& reps, Item* out) {
    Node* nodes = nodes_;
    nodes[0].cost = 0;
    nodes[0].reps = reps;
    for (uint32_t j = 1; j <= size; ++j) nodes[j].cost = kUnreached;

    // Price of the length part of a match: its main-symbol header and any length symbol.
    const uint32_t* mainCost = costs_.main;
    auto lengthCost = [&](uint32_t length) {
        return length >= kMinMatch + 7 ? costs_.length[length - kMinMatch - 7] : 0u;
    };
    auto relax = [&](uint32_t to, uint32_t cost, uint32_t length, uint32_t offset,
                     const RepeatedOffsets& arrivalReps) {
        Node& node = nodes[to];
        if (cost < node.cost) {
            node.cost = cost;
            node.length = length;
            node.offset = offset;
            node.reps = arrivalReps;
        }
    };

    Match matches[kMaxMatchesPerPosition];
    const uint32_t maxOffset = finder_->maxOffset();
    uint32_t i = 0;
    while (i < size) {
        const uint8_t* here = frame + i;
        const uint32_t at = pos + i;
        const Node cur = nodes[i];
        const uint32_t maxLength = size - i < kMaxMatch ? size - i : kMaxMatch;

        relax(i + 1, cur.cost + mainCost[*here], 1, 0, cur.reps);

        uint32_t longest = 0;
        if (maxLength >= kMinMatch) {
            for (unsigned k = 0; k < 3; ++k) {
                const uint32_t offset = cur.reps.r[k];
                if (offset > at || offset > maxOffset) continue;
                const uint32_t len = commonLength(here, here - offset, maxLength);
                if (len < kMinMatch) continue;
                RepeatedOffsets next = cur.reps;
                next.r[k] = next.r[0];
                next.r[0] = offset;
                for (uint32_t l = kMinMatch; l <= len; ++l) {
                    relax(i + l,
                          cur.cost + mainCost[kNumChars + k * 8 + lengthHeader(l)] + lengthCost(l),
                          l, offset, next);
                }
                if (len > longest) longest = len;
            }
        }
        unsigned found = 0;
        if (maxLength >= 3 && readable - i >= 4) {
            found = finder_->find(here, at, readable - i, maxLength, matches);
        } else if (readable - i >= 4) {
            finder_->insert(here, at, readable - i);
        }
        uint32_t l = kMinMatch;
        for (unsigned m = 0; m < found; ++m) {
            const Match match = matches[m];
            if (match.offset == cur.reps.r[0] || match.offset == cur.reps.r[1] ||
                match.offset == cur.reps.r[2]) {
                l = match.length + 1;
                continue;
            }
            const unsigned slot = positionSlotOf(match.offset + 2);
            const uint32_t base = cur.cost + kPositionSlots.extraBits[slot];
            const uint32_t* slotCost = mainCost + kNumChars + slot * 8;
            RepeatedOffsets next;
            next.r[0] = match.offset;
            next.r[1] = cur.reps.r[0];
            next.r[2] = cur.reps.r[1];
            for (; l <= match.length; ++l) {
                relax(i + l, base + slotCost[lengthHeader(l)] + lengthCost(l), l, match.offset,
                      next);
            }
            if (match.length > longest) longest = match.length;
        }

        // A long match is taken as it stands: searching inside it rarely pays for its time.
        // Only its ends go into the match finder; what lies between is found again through
        // the copy it repeats.
        if (longest >= takenLength) {
            for (uint32_t k = 1; k < longest; ++k) {
                if (k == kInsertedEnds + 1 && longest > 2 * kInsertedEnds)
                    k = longest - kInsertedEnds;
                if (readable - i - k >= 4) finder_->insert(here + k, at + k, readable - i - k);
            }
            i += longest;
            continue;
        }
        ++i;
    }

    // Walk back from the end, then turn the path around.
    uint32_t count = 0;
    for (uint32_t j = size; j > 0; j -= nodes[j].length) {
        const Node& node = nodes[j];
        Item& item = out[count++];
        item.length = static_cast<uint16_t>(node.length);
        item.offset = node.offset;
        item.literal = frame[j - 1];
    }
    for (uint32_t a = 0, b = count - 1; a < b; ++a, --b) {
        const Item t = out[a];
        out[a] = out[b];
        out[b] = t;
    }
    reps = nodes[size].reps;
    lastCost_ = nodes[size].cost;
    return count;
}

}  // namespace cabinet::lzx
