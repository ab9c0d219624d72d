// Which file an open file stream is, so that a file opened again by name can be told from
// another file that has taken its name (or from the same file changed in between).
#pragma once

#include <cstdint>

#include "archive/cab/ab_stream.h"

namespace pelmora {

// The volume and the file's number on it, with its size and last-write time: a replaced
// file has another number, a file rewritten in place another size or time.
struct TFileIdentity {
    uint64_t Volume = 0;
    uint64_t Index = 0;
    int64_t Size = 0;
    int64_t ModifiedNanoseconds = 0;
    bool operator==(const TFileIdentity&) const = default;
};

// The identity of the file open in stream; false when the system cannot tell.
bool fileIdentityOf(const TFileStream& stream, TFileIdentity& identity);

}  // namespace pelmora
