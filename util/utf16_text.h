// Conversions between the program's UTF-16 text and the UTF-8 text of POSIX system calls.
#pragma once

#include <string>
#include <string_view>

// The two halves of a surrogate pair.
inline bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// Malformed sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
