#include "util/utf16_text.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

// Decodes one UTF-8 sequence at text[i], advancing i. Malformed input follows the Unicode
// practice of replacing each maximal subpart: the longest start of a valid sequence becomes
// one U+FFFD, and a byte that cannot begin or continue one becomes a U+FFFD of its own. So a
// truncated sequence gives one replacement, an overlong form or an encoded surrogate one per
// byte, and decoding picks up again at the first byte that did not fit.
char32_t decodeUtf8(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int needed = 0;
    char32_t c = 0;
    // The range of the second byte: narrower after the leads whose full range would allow
    // overlong forms (E0, F0), surrogates (ED) or values past U+10FFFF (F4).
    unsigned char lower = 0x80, upper = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        needed = 1, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        needed = 2, c = lead & 0x0F;
        if (lead == 0xE0) lower = 0xA0;
        if (lead == 0xED) upper = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        needed = 3, c = lead & 0x07;
        if (lead == 0xF0) lower = 0x90;
        if (lead == 0xF4) upper = 0x8F;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < needed; ++k) {
        if (i >= text.size()) return kReplacement;
        const auto next = static_cast<unsigned char>(text[i]);
        if (next < lower || next > upper) return kReplacement;
        c = (c << 6) | (next & 0x3F);
        lower = 0x80, upper = 0xBF;
        ++i;
    }
    return c;
}

}  // namespace

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) appendUtf16(out, decodeUtf8(text, i));
    return out;
}
