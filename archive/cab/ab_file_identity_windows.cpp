#include <windows.h>

#include "archive/cab/ab_file_identity.h"

namespace pelmora {

bool fileIdentityOf(const TFileStream& stream, TFileIdentity& identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(stream.Handle()), &info)) return false;
    identity.Volume = info.dwVolumeSerialNumber;
    identity.Index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity.Size =
        static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    // FILETIME counts 100-nanosecond steps.
    identity.ModifiedNanoseconds =
        static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                             info.ftLastWriteTime.dwLowDateTime) *
        100;
    return true;
}

}  // namespace pelmora
