#include <windows.h>

#include "archive/cab/ab_temporary_file.h"

namespace pelmora {

std::unique_ptr<TFileStream> createTemporaryFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"pel", 0, name))
        throw EFCreateError(u"temporary file", static_cast<int32_t>(GetLastError()));
    // Deleted by the system when the last handle closes, also when the program is ended.
    HANDLE h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    std::u16string fileName(reinterpret_cast<const char16_t*>(name));
    if (h == INVALID_HANDLE_VALUE)
        throw EFCreateError(fileName, static_cast<int32_t>(GetLastError()));
    return std::make_unique<TFileStream>(fileName, reinterpret_cast<intptr_t>(h));
}

}  // namespace pelmora
