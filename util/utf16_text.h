// Conversions between the program's UTF-16 text and the UTF-8 text of POSIX system calls.
#pragma once

#include <string>
#include <string_view>

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);
// Malformed sequences become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
