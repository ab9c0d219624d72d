#include <windows.h>

#include "archive/cab/ab_stream.h"

namespace {

HANDLE handleOf(intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

}  // namespace

TFileStream::TFileStream(const std::u16string& fileName, TFileOpenMode mode)
    : FFileName(fileName), FHandle(-1) {
    auto* name = reinterpret_cast<const wchar_t*>(fileName.c_str());
    HANDLE h;
    if (mode == TFileOpenMode::Create || mode == TFileOpenMode::CreateNew) {
        DWORD disposition = mode == TFileOpenMode::Create ? CREATE_ALWAYS : CREATE_NEW;
        h = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, disposition,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            throw EFCreateError(fileName, static_cast<int32_t>(GetLastError()));
    } else {
        DWORD share = mode == TFileOpenMode::ReadShareDenyWrite
                          ? FILE_SHARE_READ
                          : FILE_SHARE_READ | FILE_SHARE_WRITE;
        h = CreateFileW(name, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
        if (h == INVALID_HANDLE_VALUE)
            throw EFOpenError(fileName, static_cast<int32_t>(GetLastError()));
        // A pipe, a console or a device is not a file to read an archive from.
        if (GetFileType(h) != FILE_TYPE_DISK) {
            CloseHandle(h);
            throw EFOpenError(fileName, std::u16string(NotARegularFileS));
        }
    }
    FHandle = reinterpret_cast<intptr_t>(h);
}

TFileStream::~TFileStream() {
    Close();
}

bool TFileStream::Close() {
    if (FHandle == -1) return true;
    BOOL ok = CloseHandle(handleOf(FHandle));
    FHandle = -1;
    return ok != FALSE;
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    DWORD n = 0;
    if (FHandle == -1 || count < 0) return -1;
    if (!ReadFile(handleOf(FHandle), buffer, static_cast<DWORD>(count), &n, nullptr)) {
        FLastError = static_cast<int32_t>(GetLastError());
        return -1;
    }
    return static_cast<int32_t>(n);
}

int32_t TFileStream::Write(const void* buffer, int32_t count) {
    DWORD n = 0;
    if (FHandle == -1 || count < 0) return -1;
    if (!WriteFile(handleOf(FHandle), buffer, static_cast<DWORD>(count), &n, nullptr)) {
        FLastError = static_cast<int32_t>(GetLastError());
        return -1;
    }
    if (n != static_cast<DWORD>(count)) {
        FLastError = ERROR_DISK_FULL;
        return -1;
    }
    return static_cast<int32_t>(n);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (FHandle == -1) return -1;
    LARGE_INTEGER distance;
    LARGE_INTEGER result;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(handleOf(FHandle), distance, &result, static_cast<DWORD>(origin)))
        return -1;
    return result.QuadPart;
}
