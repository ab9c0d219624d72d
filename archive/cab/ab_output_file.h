// A member's output file. The bytes go into a temporary file beside the target, and only a
// complete member is put in place, replacing an older file of that name in one step: a
// failed or interrupted extraction leaves neither a truncated file nor a destroyed old one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/cab/ab_stream.h"

namespace pelmora {

class PendingOutputFile {
public:
    // Creates the temporary file. Raises EFCreateError naming the target when the target
    // cannot be replaced (it is read-only or a folder) or nothing can be created beside it.
    explicit PendingOutputFile(const std::u16string& target);
    ~PendingOutputFile();
    PendingOutputFile(const PendingOutputFile&) = delete;
    PendingOutputFile& operator=(const PendingOutputFile&) = delete;

    TFileStream& Stream() { return *FStream; }
    const std::u16string& Target() const { return FTarget; }

    // Stamps the DOS date and time (local time) as the last-write time, closes the file, gives
    // it the attributes, and moves it over the target. An impossible stamp leaves the time of
    // writing; attributes the platform cannot apply are ignored. Raises EFCreateError when the
    // file cannot be put in place (the temporary file is then removed).
    void Commit(uint16_t dosDate, uint16_t dosTime, uint16_t attributes);

    // Closes and removes the temporary file; the target stays as it was.
    void Discard() noexcept;

private:
    std::u16string FTarget;
    std::u16string FTemporaryName;
    std::unique_ptr<TFileStream> FStream;
    bool FDone = false;
};

// The platform's part: each answers false when the system refuses.
namespace outputfile {
// The target exists and must not be replaced: a read-only file, or a folder. Sets reason to
// the system error number to report.
bool refusesReplacement(const std::u16string& target, int32_t& reason);
bool setLastWriteTime(TFileStream& file, uint16_t dosDate, uint16_t dosTime);
bool applyAttributes(const std::u16string& fileName, uint16_t attributes);
// Moves source over target in one step; on failure sets reason to the system error number.
bool replaceFile(const std::u16string& source, const std::u16string& target, int32_t& reason);
void removeFile(const std::u16string& fileName) noexcept;
}  // namespace outputfile

}  // namespace pelmora
