// Shell services on POSIX: xdg-open hands documents, addresses and folders to the desktop's
// default application.
#include "util/common_func.h"
#include "util/spawn_posix.h"

namespace {

bool openWithDesktop(const std::u16string& target) {
    const pid_t pid = spawnProgram({u"xdg-open", target});
    if (pid < 0) return false;
    releaseChild(pid);
    return true;
}

}  // namespace

void ShellOpen(const std::u16string& Target) {
    openWithDesktop(Target);
}

bool ExploreFolder(const std::u16string& Folder) {
    return openWithDesktop(Folder);
}
