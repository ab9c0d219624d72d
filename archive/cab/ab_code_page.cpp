#include "archive/cab/ab_code_page.h"

#include <array>

#include "util/utf16_text.h"

namespace pelmora::codepage {
namespace {

// Windows-1252 bytes 0x80..0x9F.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t windows1252Char(unsigned char b) {
    if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
    return b;  // ASCII and Latin-1 (0xA0..0xFF) coincide with their code points
}

}  // namespace

std::u16string windows1252ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes) out.push_back(windows1252Char(static_cast<unsigned char>(b)));
    return out;
}

int utf16ToWindows1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) return static_cast<int>(0x80 + i);
    }
    return -1;
}

std::u16string utf8ToUtf16(std::string_view utf8) {
    return ::utf8ToUtf16(utf8);
}

std::string utf16ToUtf8(std::u16string_view text) {
    return ::utf16ToUtf8(text);
}

}  // namespace pelmora::codepage
