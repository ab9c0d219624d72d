// A decompression context with callbacks over C stdio, and a C++ notification handler.
//
// The library sees stream objects as handles. Cabinets it opens are looked up as Windows would:
// a name that is not found as spelled is matched against its folder in any letter case, so a
// set made on Windows finds its next cabinet whatever case the files have here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "cabinet.h"

namespace cabtool {

// What a handle stands for: a file, or a sink that takes bytes and keeps none.
struct Stream {
    std::FILE* file = nullptr;
    bool ownsFile = true;
    uint64_t written = 0;
};

inline CabHandle handleOf(Stream* stream) {
    return reinterpret_cast<CabHandle>(stream);
}
inline Stream* streamOf(CabHandle handle) {
    return reinterpret_cast<Stream*>(handle);
}

class NotificationHandler {
public:
    virtual ~NotificationHandler() = default;
    // Answers as the library expects; an exception here ends the pass (as an abort).
    virtual CabHandle notify(FDINotificationType type, FDINotification& n) = 0;
};

class FdiSession {
public:
    FdiSession();
    ~FdiSession();
    FdiSession(const FdiSession&) = delete;
    FdiSession& operator=(const FdiSession&) = delete;

    // One FDICopy pass over `path` + `name`. False when the library failed the pass (see
    // errorCode()); rethrows what the handler threw.
    bool copy(const std::string& name, const std::string& path, NotificationHandler& handler);
    int errorCode() const { return error_.ErrorCode; }

private:
    FDIContext context_ = nullptr;
    CabErrorRecord error_{};
};

// The file name part and the folder part (with its trailing separator, or empty) of a path.
std::string fileNamePart(const std::string& path);
std::string folderPart(const std::string& path);

// The published name of an FDIERROR value, and a short description of it.
const char* fdiErrorName(int code);
const char* fdiErrorText(int code);

}  // namespace cabtool
