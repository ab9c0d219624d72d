#include "util/utf7_text.h"

#include <cstdint>

#include "util/utf16_text.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The value of a character of the base64 alphabet, or -1 for any other character.
int base64Value(char16_t c) {
    if (c >= u'A' && c <= u'Z') return c - u'A';
    if (c >= u'a' && c <= u'z') return c - u'a' + 26;
    if (c >= u'0' && c <= u'9') return c - u'0' + 52;
    if (c == u'+') return 62;
    if (c == u'/') return 63;
    return -1;
}

// Collects the code units of one base64 run and keeps surrogates paired.
class RunDecoder {
public:
    explicit RunDecoder(std::u16string& out) : out_(out) {}

    void addSextet(int value) {
        bits_ = (bits_ << 6) | static_cast<uint32_t>(value);
        bitCount_ += 6;
        if (bitCount_ < 16) return;
        bitCount_ -= 16;
        addUnit(static_cast<char16_t>((bits_ >> bitCount_) & 0xFFFF));
        bits_ &= (1u << bitCount_) - 1;
    }

    // Ends the run; answers whether its tail was clean padding.
    bool finish() {
        bool clean = bitCount_ < 6 && bits_ == 0;
        if (pendingHigh_) {
            out_ += kReplacement;
            pendingHigh_ = false;
            clean = false;
        }
        if (!clean && bitCount_ >= 6) out_ += kReplacement;
        bits_ = 0;
        bitCount_ = 0;
        return clean && wellFormed_;
    }

private:
    void addUnit(char16_t unit) {
        if (pendingHigh_) {
            pendingHigh_ = false;
            if (isLowSurrogate(unit)) {
                out_ += highSurrogate_;
                out_ += unit;
                return;
            }
            out_ += kReplacement;
            wellFormed_ = false;
        }
        if (isHighSurrogate(unit)) {
            pendingHigh_ = true;
            highSurrogate_ = unit;
        } else if (isLowSurrogate(unit)) {
            out_ += kReplacement;
            wellFormed_ = false;
        } else {
            out_ += unit;
        }
    }

    std::u16string& out_;
    uint32_t bits_ = 0;
    int bitCount_ = 0;
    bool pendingHigh_ = false;
    char16_t highSurrogate_ = 0;
    bool wellFormed_ = true;
};

}  // namespace

bool decodeUtf7(std::u16string_view text, std::u16string& out) {
    out.clear();
    bool wellFormed = true;
    size_t i = 0;
    while (i < text.size()) {
        const char16_t c = text[i++];
        if (c != u'+') {
            out += c;
            continue;
        }
        if (i < text.size() && text[i] == u'-') {
            out += u'+';
            ++i;
            continue;
        }
        RunDecoder run(out);
        const size_t runStart = i;
        while (i < text.size() && base64Value(text[i]) >= 0) run.addSextet(base64Value(text[i++]));
        // A "+" that opens nothing (and is not "+-") is not UTF-7.
        if (!run.finish() || i == runStart) wellFormed = false;
        if (i < text.size() && text[i] == u'-') ++i;
    }
    return wellFormed;
}
