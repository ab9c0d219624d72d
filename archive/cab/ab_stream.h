// Streams: the byte sources and sinks that archives, type detection and the cabinet library
// callbacks work on. A stream reads, writes and seeks; a file stream owns an open file and
// closes it when destroyed; a memory stream holds its bytes in memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "util/errors.h"

// A read or write that moved fewer bytes than demanded.
class EReadError : public EFilerError {
public:
    EReadError() : EFilerError(u"Stream read error") {}
};
class EWriteError : public EFilerError {
public:
    EWriteError() : EFilerError(u"Stream write error") {}
};

enum class TSeekOrigin : uint16_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Bytes read (0 at the end), or -1 when the read failed.
    virtual int32_t Read(void* buffer, int32_t count) = 0;
    // Bytes written, or -1 when the write failed.
    virtual int32_t Write(const void* buffer, int32_t count) = 0;
    // The new position, or -1 when the seek failed (the position is then unchanged).
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    // The operating system's error number behind the last failed read or write, or 0 when
    // the failure was not the system's (or the stream has none).
    virtual int32_t LastSystemError() const { return 0; }

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t value) { Seek(value, TSeekOrigin::soBeginning); }
    virtual int64_t Size();

    // Exactly count bytes, or EReadError / EWriteError.
    void ReadBuffer(void* buffer, int32_t count);
    void WriteBuffer(const void* buffer, int32_t count);
};

// How a file stream opens its file. Sharing requests are honoured where the platform
// enforces them (Windows) and are advisory elsewhere.
enum class TFileOpenMode {
    ReadShareDenyWrite,  // read; others may read but not write
    ReadShareDenyNone,   // read; others may read and write
    Create,              // create or truncate; read and write; not shared
    CreateNew,           // create a file that does not exist yet; read and write; not shared
};

// The reason given when something that is not a regular file is opened for reading.
inline constexpr std::u16string_view NotARegularFileS = u"It is not a regular file";

class TFileStream : public TStream {
public:
    // Opens or creates the file; raises EFOpenError or EFCreateError with the system's reason.
    // Reading opens regular files only: a folder, a pipe or a device raises EFOpenError with
    // NotARegularFileS at once (a pipe is never waited on).
    TFileStream(const std::u16string& fileName, TFileOpenMode mode);
    // Takes over a file the platform opened already (handle as Handle() answers it); the
    // stream closes it. fileName names it in messages.
    TFileStream(std::u16string fileName, intptr_t handle)
        : FFileName(std::move(fileName)), FHandle(handle) {}
    ~TFileStream() override;

    int32_t Read(void* buffer, int32_t count) override;
    // Writes all count bytes or fails (-1): a disk that fills up midway is a failure with
    // the system's reason in LastSystemError, not a short count.
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int32_t LastSystemError() const override { return FLastError; }

    const std::u16string& FileName() const { return FFileName; }
    // The operating system's handle of the open file (a descriptor on POSIX, a HANDLE on
    // Windows), for operations on the open file such as setting its time.
    intptr_t Handle() const { return FHandle; }

    // Closes the file before destruction; false when the system reports a failure.
    bool Close();

private:
    std::u16string FFileName;
    intptr_t FHandle;
    int32_t FLastError = 0;
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : FBytes(std::move(bytes)) {}

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FBytes.size()); }

    const std::vector<uint8_t>& Bytes() const { return FBytes; }

private:
    std::vector<uint8_t> FBytes;
    std::size_t FPosition = 0;
};

// A UTF-16 disk path as POSIX file functions want it: UTF-8.
std::string nativePath(const std::u16string& path);
