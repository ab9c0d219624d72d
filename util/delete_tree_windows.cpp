// File removal on Windows: DeleteFileW, RemoveDirectoryW and a FindFirstFileW listing.
#include <windows.h>

#include "util/common_func.h"

namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

bool isFolderLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Deletes one file; a link to a folder is removed as a folder, which removes the link and
// leaves its target alone.
void deleteSingleFile(const std::u16string& path) {
    if (DeleteFileW(wide(path))) return;
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && isFolderLink(attributes)) {
        RemoveDirectoryW(wide(path));
    }
}

}  // namespace

void DeleteFileOrTree(const std::u16string& Path, bool Tree) {
    if (Tree) {
        DeleteTree(Path);
    } else {
        deleteSingleFile(Path);
    }
}

bool DeleteTree(const std::u16string& Folder) {
    // An empty folder would make the listing start at the root of the current drive.
    if (Folder.empty()) return false;
    std::u16string pattern = Folder;
    if (pattern.back() != u'\\') pattern += u'\\';
    pattern += u"*.*";

    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(wide(pattern), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name(reinterpret_cast<const char16_t*>(entry.cFileName));
            const std::u16string path = Folder + u"\\" + name;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                deleteSingleFile(path);
            } else if (isFolderLink(entry.dwFileAttributes)) {
                // Links to folders go, their targets stay: nothing outside the tree is touched.
                RemoveDirectoryW(wide(path));
            } else if (name != u"." && name != u"..") {
                DeleteTree(path);
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    return RemoveDirectoryW(wide(Folder)) != FALSE;
}
