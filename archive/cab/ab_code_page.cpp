#include "archive/cab/ab_code_page.h"

#include "util/utf16_text.h"

namespace pelmora::codepage {

std::u16string utf8ToUtf16(std::string_view utf8) {
    return ::utf8ToUtf16(utf8);
}

std::string utf16ToUtf8(std::u16string_view text) {
    return ::utf16ToUtf8(text);
}

}  // namespace pelmora::codepage
