// Shell services on Windows: ShellExecuteW with the "open" verb and Explorer's "/e," switch.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <shellapi.h>

#include "util/common_func.h"

void ShellOpen(const std::u16string& Target) {
    ShellExecuteW(nullptr, L"open", reinterpret_cast<const wchar_t*>(Target.c_str()), nullptr,
                  nullptr, SW_SHOWNORMAL);
}

bool ExploreFolder(const std::u16string& Folder) {
    const std::u16string parameters = u"/e," + Folder;
    const HINSTANCE result =
        ShellExecuteW(nullptr, nullptr, L"Explorer.exe",
                      reinterpret_cast<const wchar_t*>(parameters.c_str()), nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<uintptr_t>(result) > 32;
}
