#include "archive/cab/ab_stream.h"

#include <algorithm>
#include <cstring>

#include "util/utf16_text.h"

std::string nativePath(const std::u16string& path) {
    return utf16ToUtf8(path);
}

int64_t TStream::Size() {
    int64_t here = Position();
    int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(here, TSeekOrigin::soBeginning);
    return end;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        int32_t n = Read(out + done, count - done);
        if (n <= 0) throw EReadError();
        done += n;
    }
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
    const auto* in = static_cast<const uint8_t*>(buffer);
    int32_t done = 0;
    while (done < count) {
        int32_t n = Write(in + done, count - done);
        if (n <= 0) throw EWriteError();
        done += n;
    }
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
    if (count <= 0 || FPosition >= FBytes.size()) return 0;
    std::size_t n =
        std::min<std::size_t>(static_cast<std::size_t>(count), FBytes.size() - FPosition);
    std::memcpy(buffer, FBytes.data() + FPosition, n);
    FPosition += n;
    return static_cast<int32_t>(n);
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
    if (count <= 0) return 0;
    std::size_t end = FPosition + static_cast<std::size_t>(count);
    if (end > FBytes.size()) FBytes.resize(end);
    std::memcpy(FBytes.data() + FPosition, buffer, static_cast<std::size_t>(count));
    FPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = static_cast<int64_t>(FPosition);
    if (origin == TSeekOrigin::soEnd) base = static_cast<int64_t>(FBytes.size());
    int64_t target = base + offset;
    if (target < 0) return -1;
    FPosition = static_cast<std::size_t>(target);
    return target;
}
