// UTF-16 text helpers of the archive code: letter case, and (from util) conversion to and from
// UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "util/utf16_text.h"

// The capital of one UTF-16 code unit under the simple Unicode upper-case mapping; the code
// unit itself when it has none (surrogates always map to themselves).
char16_t unicodeUpper(char16_t c);
std::u16string upperCaseUnicode(std::u16string_view text);

// Folds only the ASCII letters a-z onto A-Z; every other code unit is left as it is.
inline char16_t asciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
}
std::u16string upperCaseAscii(std::u16string_view text);
// Ordinal comparison that ignores the case of the ASCII letters only.
bool sameTextAscii(std::u16string_view a, std::u16string_view b);
