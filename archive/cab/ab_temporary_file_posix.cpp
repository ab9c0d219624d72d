#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "archive/cab/ab_temporary_file.h"
#include "util/utf16_text.h"

namespace pelmora {

std::unique_ptr<TFileStream> createTemporaryFile() {
    const char* variable = std::getenv("TMPDIR");
    std::string folder = variable && *variable ? variable : "/tmp";
    int fd = -1;
#ifdef O_TMPFILE
    // A file without a name: nothing is left behind, whatever ends the program.
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
    if (fd < 0) {
        std::string pattern = folder + "/pelmora-spool-XXXXXX";
        fd = ::mkstemp(pattern.data());
        if (fd < 0) throw EFCreateError(utf8ToUtf16(pattern), errno);
        ::unlink(pattern.c_str());
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    return std::make_unique<TFileStream>(utf8ToUtf16(folder), fd);
}

}  // namespace pelmora
