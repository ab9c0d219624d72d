#include <sys/statvfs.h>

#include <limits>

#include "archive/core/ab_file_system.h"
#include "archive/core/ab_text.h"

namespace platform {

int64_t freeSpaceOf(std::u16string_view path) {
    struct statvfs info {};
    if (statvfs(utf16ToUtf8(path).c_str(), &info) != 0) return -1;
    // The blocks an ordinary user may still fill, not those kept for the administrator.
    const auto blocks = static_cast<unsigned long long>(info.f_bavail);
    const auto blockSize = static_cast<unsigned long long>(info.f_frsize);
    constexpr auto kMost = static_cast<unsigned long long>(std::numeric_limits<int64_t>::max());
    if (blockSize != 0 && blocks > kMost / blockSize) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(blocks * blockSize);
}

}  // namespace platform
