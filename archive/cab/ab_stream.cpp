#include "archive/cab/ab_stream.h"

#include <algorithm>
#include <cstring>

namespace {

std::string utf8Of(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace

std::string nativePath(const std::u16string& path) {
    return utf8Of(path);
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
