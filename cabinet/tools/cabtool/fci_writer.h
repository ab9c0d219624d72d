// A compression context with callbacks over C stdio, writing a cabinet set so that nothing
// already on disk is replaced unless the whole set is written: each cabinet goes to a
// neighbouring partial file first and takes its real name at commit().
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabinet.h"

namespace cabtool {

struct MemberSource {
    std::string path;        // on disk
    std::string storedName;  // in the cabinet
    uint16_t date = 0, time = 0, attributes = 0;
};

class FciWriter {
public:
    // `firstCabinet` names the set's first cabinet; the others are named by `nextName`
    // from the previous cabinet's name and the new cabinet's number in the set (1, 2...).
    FciWriter(const std::string& firstCabinet, uint32_t maxCabinetSize, uint32_t folderThreshold,
              std::function<std::string(const std::string&, unsigned)> nextName);
    ~FciWriter();
    FciWriter(const FciWriter&) = delete;
    FciWriter& operator=(const FciWriter&) = delete;

    // Each answers false with error() describing what failed.
    bool create();
    bool add(const MemberSource& member, TCOMP compression);
    bool finish();
    // Gives the partial cabinets their names; until then nothing existing is touched.
    bool commit();
    // Removes every partial cabinet and temporary file (also done on destruction).
    void discard();

    const std::string& error() const { return error_; }
    // The set's cabinets in order, with their sizes.
    const std::vector<std::pair<std::string, uint64_t>>& cabinets() const { return cabinets_; }

    // Callback plumbing.
    std::string tempFolder_;
    unsigned tempCount_ = 0;
    std::vector<std::string> tempFiles_;
    std::vector<std::pair<std::string, uint64_t>> cabinets_;  // final names
    std::vector<std::string> usedNames_;
    const MemberSource* current_ = nullptr;
    std::function<std::string(const std::string&, unsigned)> nextName_;
    std::string failedName_;  // the file a callback failed on, for the message
    std::string nameError_;   // why get-next-cabinet refused
    bool committed_ = false;

private:
    std::string describe(const CabErrorRecord& error) const;

    FCICabInfo parameters_{};
    FCIContext context_ = nullptr;
    CabErrorRecord errorRecord_{};
    std::string error_;
};

// The partial file a cabinet is written to before commit().
std::string partialName(const std::string& cabinet);

}  // namespace cabtool
