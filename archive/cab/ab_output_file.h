// A member's output file. The bytes go into a temporary file beside the target, and only a
// complete member is put in place, replacing an older file of that name in one step: a
// failed or interrupted extraction leaves neither a truncated file nor a destroyed old one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/cab/ab_stream.h"

namespace pelmora {

// Where the bytes wait until the member is complete.
enum class TemporaryKind {
    // A file without a name where the system offers one: even a process killed outright
    // leaves nothing behind. Elsewhere a hidden named file, as below.
    PreferUnnamed,
    // A hidden file of bounded name length beside the target, removed when the member fails.
    Named,
};

class PendingOutputFile {
public:
    // Creates the temporary file. Raises EFCreateError naming the target when the target is
    // a folder or nothing can be created beside it. A read-only file of that name does not
    // stop the extraction: it is replaced like any other.
    explicit PendingOutputFile(const std::u16string& target,
                               TemporaryKind kind = TemporaryKind::PreferUnnamed);
    ~PendingOutputFile();
    PendingOutputFile(const PendingOutputFile&) = delete;
    PendingOutputFile& operator=(const PendingOutputFile&) = delete;

    // Where the member's bytes go. Once a stop was requested (StopRequested) every write
    // raises EAbUserAbort, so an interrupted member is never completed.
    TFileStream& Stream() { return *FStream; }
    const std::u16string& Target() const { return FTarget; }
    // Whether the bytes wait in a file that has no name yet.
    bool Unnamed() const { return FTemporaryName.empty(); }

    // Stamps the DOS date and time (local time) as the last-write time, closes the file, gives
    // it the attributes, and moves it over the target. An impossible stamp leaves the time of
    // writing; attributes the platform cannot apply are ignored. Raises EFCreateError when the
    // file cannot be put in place (the temporary file is then removed).
    void Commit(uint16_t dosDate, uint16_t dosTime, uint16_t attributes);

    // Closes and removes the temporary file; the target stays as it was.
    void Discard() noexcept;

private:
    void createNamed();
    bool nameTheUnnamedFile(int32_t& reason);

    std::u16string FTarget;
    std::u16string FFolder;         // the target's folder with its final separator, or empty
    std::u16string FTemporaryName;  // empty while the bytes wait in a file without a name
    std::unique_ptr<TFileStream> FStream;
    bool FDone = false;
};

// The platform's part: each answers false (or -1) when the system refuses.
namespace outputfile {
// The target exists and must not be replaced: a folder. Sets reason to the system error
// number to report.
bool refusesReplacement(const std::u16string& target, int32_t& reason);
// A new file without a name in folder (empty: the current folder), open for reading and
// writing; -1 where the system or the file system offers no such file.
intptr_t openUnnamedIn(const std::u16string& folder);
// Gives the file of openUnnamedIn the name; fails when the name is taken.
bool linkUnnamed(TFileStream& file, const std::u16string& name, int32_t& reason);
bool setLastWriteTime(TFileStream& file, uint16_t dosDate, uint16_t dosTime);
bool applyAttributes(const std::u16string& fileName, uint16_t attributes);
// Moves source over target in one step, a read-only target included; on failure sets reason
// to the system error number.
bool replaceFile(const std::u16string& source, const std::u16string& target, int32_t& reason);
void removeFile(const std::u16string& fileName) noexcept;
}  // namespace outputfile

}  // namespace pelmora
