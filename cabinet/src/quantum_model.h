// An adaptive frequency model of the Quantum coder, shared by the decoder and the test encoder.
//
// Entries are kept with cumulative frequencies that fall from the first entry to a closing zero:
// cumulative[i] is the summed frequency of entries i and after, so cumulative[0] is the total.
// Each coded symbol adds kIncrement to its frequency; once the total passes kMaxTotal the
// frequencies are halved, and every kReorderInterval-th halving also sorts the entries by
// frequency so that frequent symbols sit first.
#pragma once

#include <cstdint>

namespace cabinet::quantum {

class AdaptiveModel {
public:
    static constexpr unsigned kMaxEntries = 64;
    static constexpr uint16_t kIncrement = 8;
    static constexpr uint16_t kMaxTotal = 3800;
    static constexpr uint8_t kFirstReorder = 4;
    static constexpr uint8_t kReorderInterval = 50;

    // Symbols firstSymbol .. firstSymbol + entries - 1, each with frequency 1.
    void init(uint16_t firstSymbol, unsigned entries) {
        entries_ = entries;
        halvingsUntilReorder_ = kFirstReorder;
        for (unsigned i = 0; i < entries; ++i) {
            symbol_[i] = static_cast<uint16_t>(firstSymbol + i);
            cumulative_[i] = static_cast<uint16_t>(entries - i);
        }
        cumulative_[entries] = 0;
    }

    unsigned entries() const { return entries_; }
    uint16_t total() const { return cumulative_[0]; }
    uint16_t symbol(unsigned index) const { return symbol_[index]; }
    // The coding interval of entry `index` is [cumulative(index + 1), cumulative(index)).
    uint16_t cumulative(unsigned index) const { return cumulative_[index]; }

    // The entry whose interval holds `target` (< total()).
    unsigned find(uint32_t target) const {
        unsigned i = 0;
        while (cumulative_[i + 1] > target) ++i;
        return i;
    }

    // The entry holding `symbol`, or entries() when it is not in the model.
    unsigned indexOf(uint16_t symbol) const {
        for (unsigned i = 0; i < entries_; ++i)
            if (symbol_[i] == symbol) return i;
        return entries_;
    }

    // Counts one more occurrence of entry `index`.
    void update(unsigned index) {
        for (unsigned i = 0; i <= index; ++i) cumulative_[i] += kIncrement;
        if (cumulative_[0] > kMaxTotal) rescale();
    }

private:
    void rescale() {
        if (--halvingsUntilReorder_ != 0) {
            halveKeepingOrder();
        } else {
            halvingsUntilReorder_ = kReorderInterval;
            halveAndSort();
        }
    }

    // Halves the cumulative frequencies, keeping every entry's frequency at least 1.
    void halveKeepingOrder() {
        for (unsigned i = entries_; i-- > 0;) {
            cumulative_[i] >>= 1;
            if (cumulative_[i] <= cumulative_[i + 1])
                cumulative_[i] = static_cast<uint16_t>(cumulative_[i + 1] + 1);
        }
    }

    // Halves each frequency (rounding up) and sorts the entries by falling frequency. The order
    // of equal frequencies is part of the format: it is the one this exchange sort leaves.
    void halveAndSort() {
        uint16_t frequency[kMaxEntries];
        for (unsigned i = 0; i < entries_; ++i)
            frequency[i] = static_cast<uint16_t>((cumulative_[i] - cumulative_[i + 1] + 1) >> 1);
        for (unsigned i = 0; i + 1 < entries_; ++i) {
            for (unsigned j = i + 1; j < entries_; ++j) {
                if (frequency[i] < frequency[j]) {
                    swap(frequency[i], frequency[j]);
                    swap(symbol_[i], symbol_[j]);
                }
            }
        }
        for (unsigned i = entries_; i-- > 0;)
            cumulative_[i] = static_cast<uint16_t>(cumulative_[i + 1] + frequency[i]);
    }

    static void swap(uint16_t& a, uint16_t& b) {
        uint16_t t = a;
        a = b;
        b = t;
    }

    unsigned entries_ = 0;
    uint8_t halvingsUntilReorder_ = kFirstReorder;
    uint16_t symbol_[kMaxEntries] = {};
    uint16_t cumulative_[kMaxEntries + 1] = {};
};

}  // namespace cabinet::quantum
