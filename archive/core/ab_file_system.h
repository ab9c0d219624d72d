// The archive code's use of the file system: folder and file tests, folder chains, file
// attribute data, file searches and short names. Paths are UTF-16 disk paths of the platform.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "archive/core/ab_date_time.h"

enum class PathStyle : uint8_t;

// Windows file attribute bits, as the archive formats store them.
inline constexpr int32_t faReadOnly = 0x01;
inline constexpr int32_t faHidden = 0x02;
inline constexpr int32_t faSysFile = 0x04;
inline constexpr int32_t faDirectory = 0x10;
inline constexpr int32_t faArchive = 0x20;
inline constexpr int32_t faAnyFile = 0xFF;

struct TFileAttributeInfo {
    TAbDateTime Time;   // last write, local, in DOS 2-second steps; zero when unknown
    int64_t Size = -1;  // bytes
    int32_t Attr = -1;  // Windows attribute bits
    int32_t Mode = 0;   // Unix permission mode derived from Attr
};

std::filesystem::path toFsPath(std::u16string_view path);
std::u16string fromFsPath(const std::filesystem::path& path);

bool DirectoryExists(std::u16string_view path);
// A file system entry that exists and is not a folder.
bool FileExists(std::u16string_view path);

// Creates every missing folder of Path (see directoryChainSteps). A failure raises
// EInOutError with the system's error number; folders made before it stay.
void CreateDirectoryChain(std::u16string_view Path);

// Fills Info and answers true when the file or folder exists; never raises for a missing one.
bool QueryFileAttributes(std::u16string_view FileName, TFileAttributeInfo& Info);
// The size in bytes, or -1 when the file is not found.
int64_t QueryFileSize(std::u16string_view FileName);
// 0444 for a read-only entry, else 0644; a folder adds 040111.
int32_t DosAttributesToUnixMode(int32_t Attr);

// The path spelled with each element's short 8.3 name where it has one. A missing folder
// raises EAbException "Path not found", a missing file EAbFileNotFound.
std::u16string ShortFormPath(std::u16string_view Path);

// Adds the disk paths that match Mask (a disk path whose name part may hold wildcards) to
// List: DirectoryPart(Mask) + entry name, folders with a trailing separator. Attr selects
// which entries beside plain files count (faDirectory for folders, faHidden for hidden
// ones). A relative Mask is looked up under searchRoot when that is given, without touching
// the process's current directory.
void FindMatchingFiles(std::u16string_view Mask, int32_t Attr, std::vector<std::u16string>& List,
                       bool Recurse, std::u16string_view searchRoot = {});
// The same for each trimmed piece of a ";"-separated list of masks.
void FindMatchingFilesList(std::u16string_view Masks, int32_t Attr,
                           std::vector<std::u16string>& List, bool Recurse,
                           std::u16string_view searchRoot = {});

// Makes a folder the process's current directory for the scope's lifetime and restores the
// previous one afterwards, also when an exception passes. An empty folder changes nothing.
// A folder that cannot be entered raises std::filesystem::filesystem_error.
class CurrentDirectoryScope {
public:
    explicit CurrentDirectoryScope(std::u16string_view folder);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

private:
    std::filesystem::path FPrevious;
    bool FChanged = false;
};

// Platform services behind the functions above.
namespace platform {
// The running program's own file path.
std::u16string programFilePath();
struct EntryData {
    int32_t attributes = 0;
    int64_t size = 0;
    int64_t lastWriteUnixSeconds = 0;
};
bool readEntryData(std::u16string_view path, EntryData& data);
// The short name of the last element of path, or its long name where it has none; empty
// when the entry does not exist.
std::u16string shortNameOf(std::u16string_view path);
// The bytes that the file system holding path (a folder) can still take for this user;
// -1 when the system cannot tell.
int64_t freeSpaceOf(std::u16string_view path);
}  // namespace platform
