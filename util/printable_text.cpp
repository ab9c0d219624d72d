#include "util/printable_text.h"

#include <cstdint>

namespace {

void appendEscaped(std::string& out, uint8_t byte) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool isContinuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed UTF-8 sequence at text[at] (RFC 3629: no overlong forms,
// no surrogates, nothing above U+10FFFF), and its code point; 0 when there is none.
size_t sequenceAt(std::string_view text, size_t at, char32_t& codePoint) {
    const auto lead = static_cast<uint8_t>(text[at]);
    size_t length = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, minimum = 0x80, codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, minimum = 0x800, codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, minimum = 0x10000, codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<uint8_t>(text[at + i]);
        if (!isContinuation(byte)) return 0;
        codePoint = (codePoint << 6) | (byte & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF) return 0;
    if (codePoint >= 0xD800 && codePoint <= 0xDFFF) return 0;
    return length;
}

bool isControl(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

}  // namespace

std::string printableText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t at = 0;
    while (at < utf8.size()) {
        char32_t codePoint = 0;
        const size_t length = sequenceAt(utf8, at, codePoint);
        if (length == 0 || isControl(codePoint)) {
            const size_t escaped = length == 0 ? 1 : length;
            for (size_t i = 0; i < escaped; ++i)
                appendEscaped(out, static_cast<uint8_t>(utf8[at + i]));
            at += escaped;
        } else {
            out.append(utf8.substr(at, length));
            at += length;
        }
    }
    return out;
}
