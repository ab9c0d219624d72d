#include "archive/core/ab_text.h"

std::u16string upperCaseUnicode(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) c = unicodeUpper(c);
    return out;
}

std::u16string upperCaseAscii(std::u16string_view text) {
    std::u16string out(text);
    for (auto& c : out) c = asciiUpper(c);
    return out;
}

bool sameTextAscii(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && asciiUpper(a[i]) != asciiUpper(b[i])) return false;
    }
    return true;
}
