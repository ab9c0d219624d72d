#include <sys/stat.h>

#include "archive/cab/ab_file_identity.h"

namespace pelmora {

bool fileIdentityOf(const TFileStream& stream, TFileIdentity& identity) {
    struct stat st {};
    if (::fstat(static_cast<int>(stream.Handle()), &st) != 0) return false;
    identity.Volume = static_cast<uint64_t>(st.st_dev);
    identity.Index = static_cast<uint64_t>(st.st_ino);
    identity.Size = static_cast<int64_t>(st.st_size);
    identity.ModifiedNanoseconds =
        static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

}  // namespace pelmora
