// Drives the FDI interface over files held in memory, recording every notification, so tests
// can check the protocol, the bytes written and the memory and reads it took.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cabinet.h"

namespace cabtest {

struct Notification {
    FDINotificationType type = fdintENUMERATE;
    std::string psz1;
    std::string psz2;
    std::string psz3;
    int32_t cb = 0;
    int fdie = 0;
    uint16_t setID = 0;
    uint16_t iCabinet = 0;
    uint16_t attribs = 0;
};

// One harness at a time: the library's file callbacks carry no user pointer.
class FdiHarness {
public:
    // `allocations`: how many blocks the heap grants before it refuses (-1: no limit).
    explicit FdiHarness(int allocations = -1);
    ~FdiHarness();
    FdiHarness(const FdiHarness&) = delete;
    FdiHarness& operator=(const FdiHarness&) = delete;

    bool created() const { return context_ != nullptr; }
    FDIContext context() const { return context_; }
    const CabErrorRecord& error() const { return error_; }

    // Files the library may open, by the full name it asks for.
    std::map<std::string, std::vector<uint8_t>> files;

    // Members to write (by stored name); empty writes every member.
    std::set<std::string> wanted;
    // Answers a test wants to give itself; nothing falls back to the default answer.
    std::function<std::optional<CabHandle>(FDINotificationType, FDINotification&)> override;
    // Output writes fail once this many bytes were accepted (-1: never).
    int64_t writeLimit = -1;

    // One FDICopy pass; the notifications and outputs of earlier passes are cleared.
    bool copy(const std::string& name, const std::string& path = "");
    bool isCabinet(const std::string& name, FDICabInfo& info);

    std::vector<Notification> events;
    std::map<std::string, std::vector<uint8_t>> outputs;  // members written, by stored name
    uint64_t bytesRead = 0;   // through the read callback, since construction
    int openFiles() const;    // cabinet handles the library has not closed yet
    static int liveBlocks();  // memory blocks handed out and not returned

private:
    FDIContext context_ = nullptr;
    CabErrorRecord error_{};
};

}  // namespace cabtest
