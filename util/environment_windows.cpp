#include <windows.h>

#include "util/environment.h"

std::u16string ReadEnvironment(const std::u16string& name) {
    const auto* wideName = reinterpret_cast<const wchar_t*>(name.c_str());
    // Values can be of any length: ask for the size first, then read the whole value.
    DWORD size = GetEnvironmentVariableW(wideName, nullptr, 0);
    while (size > 0) {
        std::u16string value(size, u'\0');
        const DWORD length =
            GetEnvironmentVariableW(wideName, reinterpret_cast<wchar_t*>(value.data()), size);
        if (length < size) {
            value.resize(length);
            return value;
        }
        size = length;
    }
    return {};
}
