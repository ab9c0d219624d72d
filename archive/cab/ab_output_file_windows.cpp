#include <windows.h>

#include "archive/cab/ab_output_file.h"

namespace pelmora::outputfile {
namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace

bool refusesReplacement(const std::u16string& target, int32_t& reason) {
    DWORD attributes = GetFileAttributesW(wide(target));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        reason = ERROR_ACCESS_DENIED;
        return true;
    }
    return false;
}

bool setLastWriteTime(TFileStream& file, uint16_t dosDate, uint16_t dosTime) {
    FILETIME local;
    FILETIME universal;
    if (!DosDateTimeToFileTime(dosDate, dosTime, &local)) return false;
    if (!LocalFileTimeToFileTime(&local, &universal)) return false;
    return SetFileTime(reinterpret_cast<HANDLE>(file.Handle()), nullptr, nullptr, &universal);
}

bool applyAttributes(const std::u16string& fileName, uint16_t attributes) {
    return SetFileAttributesW(wide(fileName), attributes) != FALSE;
}

bool replaceFile(const std::u16string& source, const std::u16string& target, int32_t& reason) {
    if (MoveFileExW(wide(source), wide(target), MOVEFILE_REPLACE_EXISTING)) return true;
    reason = static_cast<int32_t>(GetLastError());
    return false;
}

void removeFile(const std::u16string& fileName) noexcept {
    SetFileAttributesW(wide(fileName), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide(fileName));
}

}  // namespace pelmora::outputfile
