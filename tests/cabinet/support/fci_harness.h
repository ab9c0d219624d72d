// Drives the library's FCI interface over real files in a temporary folder, counting every
// allocation, open handle and temporary file so tests can see that nothing is left behind.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabinet.h"

namespace cabtest {

// A fresh folder under the build tree, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> randomBytes(size_t size, uint32_t seed);
std::vector<uint8_t> repetitiveText(size_t size);

// Runs a command through the shell; answers its exit status and fills `output` with what it
// printed (stdout and stderr).
int runCommand(const std::string& command, std::string* output = nullptr);

struct StatusEvent {
    unsigned type;
    uint32_t cb1, cb2;
};
struct PlacedEvent {
    std::string cabinet, name;
    int32_t size;
    bool continuation;
};

// One FCI session. Set the fields, then call create(), add(), flushCabinet()...
class FciSession {
public:
    explicit FciSession(const std::string& folder);
    ~FciSession();

    // Cabinet parameters handed to FCICreate (szCabPath is the session's folder).
    FCICabInfo parameters{};
    // Names each next cabinet; the default counts "set2.cab", "set3.cab"... from iCab.
    std::function<bool(FCICabInfo&)> nextCabinet;
    // Answers each status call; the default answers 0 (or the size for cabinets).
    std::function<int32_t(const StatusEvent&)> onStatus;
    // Fault injection: the n-th call (1-based, counted over the session) fails; 0 = never.
    int failAllocAt = 0;
    int failReadAt = 0;
    bool failCabinetWrites = false;  // writes to cabinet files (not temporary ones) fail
    bool refuseTempFile = false;
    // What get-open-info reports for every source.
    unsigned short attributes = CAB_ATTRIB_ARCHIVE;
    unsigned short date = (2024 - 1980) << 9 | 6 << 5 | 15;
    unsigned short time = 13 << 11 | 45 << 5 | 10 / 2;

    bool create();
    bool add(const std::string& source, const std::string& storedName, TCOMP compression,
             bool execute = false);
    bool flushFolder();
    bool flushCabinet(bool getNext = false);
    bool destroy();

    CabErrorRecord error{};
    std::vector<StatusEvent> statuses;
    std::vector<PlacedEvent> placed;
    std::vector<FCICabInfo> nextCalls;        // the record as get-next-cabinet received it
    std::vector<std::string> cabinetsOpened;  // cabinet files the library created, in order
    int openHandles = 0;
    int liveAllocations = 0;
    int tempFilesCreated = 0;
    std::vector<std::string> tempFilesLeft() const;

    // Callback plumbing; public so the C callbacks can reach it.
    std::string folder_;
    FCIContext context_ = nullptr;
    int allocCalls = 0, readCalls = 0;
    std::vector<std::string> tempNames;
    std::vector<CabHandle> cabinetHandles;
};

}  // namespace cabtest
