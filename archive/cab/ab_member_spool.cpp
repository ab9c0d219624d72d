#include "archive/cab/ab_member_spool.h"

#include <algorithm>
#include <vector>

#include "archive/cab/ab_temporary_file.h"

namespace pelmora {

TStream& TMemberSpool::Begin(int32_t index) {
    if (!FFile) FFile = createTemporaryFile();
    FFile->Seek(FEnd, TSeekOrigin::soBeginning);
    FCurrent = index;
    FCurrentStart = FEnd;
    return *FFile;
}

void TMemberSpool::End(bool complete) {
    if (FCurrent < 0) return;
    int64_t end = FFile->Position();
    if (complete && end >= FCurrentStart) {
        FKept[FCurrent] = {FCurrentStart, end - FCurrentStart};
        FKeptBytes += end - FCurrentStart;
        FEnd = end;
    }
    FCurrent = -1;
}

void TMemberSpool::MoveTo(int32_t index, TStream& out) {
    auto kept = FKept.find(index);
    if (kept == FKept.end()) return;
    Range range = kept->second;
    FKept.erase(kept);
    FKeptBytes -= range.size;
    if (FFile->Seek(range.start, TSeekOrigin::soBeginning) != range.start) throw EReadError();
    std::vector<uint8_t> buffer(1 << 16);
    for (int64_t left = range.size; left > 0;) {
        auto chunk = static_cast<int32_t>(std::min<int64_t>(left, buffer.size()));
        FFile->ReadBuffer(buffer.data(), chunk);
        if (out.Write(buffer.data(), chunk) != chunk) {
            if (out.LastSystemError() != 0) throw EInOutError(out.LastSystemError());
            throw EWriteError();
        }
        left -= chunk;
    }
}

}  // namespace pelmora
