#include <windows.h>

#include "archive/cab/ab_code_page.h"

namespace pelmora::codepage {

std::u16string narrowToUtf16(std::string_view narrow) {
    if (narrow.empty()) return {};
    int n =
        MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    std::u16string out(static_cast<std::size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string utf16ToNarrow(std::u16string_view text) {
    if (text.empty()) return {};
    auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    int n = WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), nullptr, 0, nullptr,
                                nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, static_cast<int>(text.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

}  // namespace pelmora::codepage
