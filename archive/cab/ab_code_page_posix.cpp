#include "archive/cab/ab_code_page.h"

namespace pelmora::codepage {

std::u16string narrowToUtf16(std::string_view narrow) {
    // No ANSI code page here: the western one, which theme packs made on western Windows
    // systems hold.
    return windows1252ToUtf16(narrow);
}

std::string utf16ToNarrow(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        int b = utf16ToWindows1252Byte(c);
        out.push_back(b < 0 ? '?' : static_cast<char>(b));
        // A surrogate pair is one character: one '?' for both halves.
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            ++i;
        }
    }
    return out;
}

}  // namespace pelmora::codepage
