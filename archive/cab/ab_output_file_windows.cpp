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
    // A read-only file is replaced (replaceFile clears the attribute first); a folder is not.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    reason = ERROR_ACCESS_DENIED;
    return true;
}

intptr_t openUnnamedIn(const std::u16string& /*folder*/) {
    return -1;  // Windows has no file without a name: a named one is removed on failure
}

bool linkUnnamed(TFileStream& /*file*/, const std::u16string& /*name*/, int32_t& reason) {
    reason = ERROR_NOT_SUPPORTED;
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
    // A read-only target refuses to be replaced until the attribute is cleared; it comes back
    // if the move fails, so a failed member leaves the old file exactly as it was.
    const DWORD old = GetFileAttributesW(wide(target));
    const bool readOnly = old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY);
    if (readOnly) SetFileAttributesW(wide(target), old & ~FILE_ATTRIBUTE_READONLY);
    if (MoveFileExW(wide(source), wide(target), MOVEFILE_REPLACE_EXISTING)) return true;
    reason = static_cast<int32_t>(GetLastError());
    if (readOnly) SetFileAttributesW(wide(target), old);
    return false;
}

void removeFile(const std::u16string& fileName) noexcept {
    SetFileAttributesW(wide(fileName), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(wide(fileName));
}

}  // namespace pelmora::outputfile
