#include "archive/cab/ab_code_page.h"

#include "util/utf16_text.h"

namespace pelmora::codepage {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
}

// Decodes one sequence starting at text[i]; advances i past what it consumed. Member names
// decode differently from util's utf8ToUtf16 on malformed input: a sequence whose continuation
// bytes are all present is replaced by one U+FFFD as a whole (an overlong form or an encoded
// surrogate gives one replacement, not one per byte), and so does a truncated sequence.
char32_t decodeUtf8At(std::string_view text, std::size_t& i) {
    auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int extra;
    char32_t cp;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return kReplacement;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size()) return kReplacement;
        auto b = static_cast<unsigned char>(text[i]);
        if ((b & 0xC0) != 0x80) return kReplacement;  // the byte starts the next sequence
        cp = (cp << 6) | (b & 0x3F);
        ++i;
    }
    bool surrogate = cp >= 0xD800 && cp < 0xE000;
    if (cp < minimum || cp > 0x10FFFF || surrogate) return kReplacement;
    return cp;
}

}  // namespace

std::u16string utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) appendUtf16(out, decodeUtf8At(utf8, i));
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    return ::utf16ToUtf8(text);
}

}  // namespace pelmora::codepage
