// Members decoded ahead of their turn, kept in a temporary file until they are asked for. A
// folder is decoded front to back; a member listed before others whose data lies ahead of it
// in the folder would cost those others a new decode from the folder's start each. Keeping
// them as they pass by costs one write and one read instead, and no memory.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "archive/cab/ab_stream.h"

namespace pelmora {

class TMemberSpool {
public:
    // The stream member index is written to, after what is kept. Raises EFCreateError when
    // the temporary file cannot be made.
    TStream& Begin(int32_t index);
    // The member begun last is kept when complete, otherwise forgotten.
    void End(bool complete);

    bool Holds(int32_t index) const { return FKept.count(index) != 0; }
    // Bytes written so far for the member begun last.
    int64_t CurrentSize() const { return FCurrent < 0 ? 0 : FFile->Position() - FCurrentStart; }
    // Bytes of the members kept now.
    int64_t KeptBytes() const { return FKeptBytes; }

    // Writes the kept member to out and forgets it. A failed write raises EInOutError with
    // the system's reason (or EWriteError), a failed read EReadError.
    void MoveTo(int32_t index, TStream& out);

private:
    struct Range {
        int64_t start = 0;
        int64_t size = 0;
    };
    std::unique_ptr<TFileStream> FFile;
    std::map<int32_t, Range> FKept;
    int32_t FCurrent = -1;
    int64_t FCurrentStart = 0;
    int64_t FEnd = 0;
    int64_t FKeptBytes = 0;
};

}  // namespace pelmora
