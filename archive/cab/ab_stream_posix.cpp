#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archive/cab/ab_stream.h"

namespace {

int descriptor(intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

TFileStream::TFileStream(const std::u16string& fileName, TFileOpenMode mode)
    : FFileName(fileName), FHandle(-1) {
    std::string path = nativePath(fileName);
    int fd;
    if (mode == TFileOpenMode::Create || mode == TFileOpenMode::CreateNew) {
        int how = mode == TFileOpenMode::Create ? O_TRUNC : O_EXCL;
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | how | O_CLOEXEC, 0666);
        if (fd < 0) throw EFCreateError(fileName, errno);
    } else {
        // Without O_NONBLOCK opening a pipe waits for a writer, maybe forever; the flag is
        // dropped again once the file is known to be a regular one.
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) throw EFOpenError(fileName, errno);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw EFOpenError(fileName, std::u16string(NotARegularFileS));
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    FHandle = fd;
}

TFileStream::~TFileStream() {
    Close();
}

bool TFileStream::Close() {
    if (FHandle < 0) return true;
    int rc = ::close(descriptor(FHandle));
    FHandle = -1;
    return rc == 0;
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    if (FHandle < 0 || count < 0) return -1;
    ssize_t n;
    do {
        n = ::read(descriptor(FHandle), buffer, static_cast<std::size_t>(count));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        FLastError = errno;
        return -1;
    }
    return static_cast<int32_t>(n);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
    if (FHandle < 0 || count < 0) return -1;
    const auto* bytes = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < static_cast<std::size_t>(count)) {
        ssize_t n =
            ::write(descriptor(FHandle), bytes + done, static_cast<std::size_t>(count) - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // A write that moves nothing without an error is a full disk as well.
            FLastError = n < 0 ? errno : ENOSPC;
            return -1;
        }
        done += static_cast<std::size_t>(n);
    }
    return count;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (FHandle < 0) return -1;
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                 : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                    : SEEK_END;
    off_t pos = ::lseek(descriptor(FHandle), static_cast<off_t>(offset), whence);
    return pos < 0 ? -1 : static_cast<int64_t>(pos);
}
