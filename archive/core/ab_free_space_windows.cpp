#include <windows.h>

#include <limits>
#include <string>

#include "archive/core/ab_file_system.h"

namespace platform {

int64_t freeSpaceOf(std::u16string_view path) {
    const std::u16string folder(path);
    ULARGE_INTEGER available{};
    // The space this user may still fill, quotas included.
    if (!GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t*>(folder.c_str()), &available, nullptr,
                             nullptr)) {
        return -1;
    }
    constexpr auto kMost = static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max());
    return available.QuadPart > kMost ? std::numeric_limits<int64_t>::max()
                                      : static_cast<int64_t>(available.QuadPart);
}

}  // namespace platform
