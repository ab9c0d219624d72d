// File removal on POSIX. A file without the owner's write permission counts as read-only and
// stays. Links are removed, never followed, and the walk works on folder descriptors so that
// a folder swapped for a link while the walk runs cannot lead it out of the tree.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "util/common_func.h"
#include "util/utf16_text.h"

namespace {

bool isReadOnly(const struct stat& info) {
    return !S_ISLNK(info.st_mode) && (info.st_mode & S_IWUSR) == 0;
}

// Deletes the entry `name` of the folder `parent` when it is a file, a link or any other
// non-folder that is not read-only.
void deleteSingleFileAt(int parent, const char* name) {
    struct stat info;
    if (fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (S_ISDIR(info.st_mode) || isReadOnly(info)) return;
    unlinkat(parent, name, 0);
}

// Deletes what can be deleted inside the folder open as `folder` (the descriptor is consumed).
void emptyFolder(int folder) {
    DIR* listing = fdopendir(folder);
    if (!listing) {
        close(folder);
        return;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info;
        if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISDIR(info.st_mode)) {
            deleteSingleFileAt(folder, name.c_str());
            continue;
        }
        const int child =
            openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child < 0) continue;
        emptyFolder(child);
        unlinkat(folder, name.c_str(), AT_REMOVEDIR);
    }
    closedir(listing);
}

// A trailing "/" would make the system follow a link named by the path, so it goes.
std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

void DeleteFileOrTree(const std::u16string& Path, bool Tree) {
    if (Tree) {
        DeleteTree(Path);
    } else if (!Path.empty()) {
        deleteSingleFileAt(AT_FDCWD, withoutTrailingSlashes(utf16ToUtf8(Path)).c_str());
    }
}

bool DeleteTree(const std::u16string& Folder) {
    if (Folder.empty()) return false;
    const std::string path = withoutTrailingSlashes(utf16ToUtf8(Folder));
    const int folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return false;
    emptyFolder(folder);
    return rmdir(path.c_str()) == 0;
}
