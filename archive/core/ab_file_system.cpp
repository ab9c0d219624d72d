#include "archive/core/ab_file_system.h"

#include <system_error>

#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_messages.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"
#include "util/errors.h"

namespace fs = std::filesystem;

std::filesystem::path toFsPath(std::u16string_view path) {
    return fs::path(std::u16string(path));
}

std::u16string fromFsPath(const std::filesystem::path& path) {
    return path.u16string();
}

bool DirectoryExists(std::u16string_view path) {
    if (path.empty()) return false;
    std::error_code error;
    return fs::is_directory(toFsPath(path), error);
}

bool FileExists(std::u16string_view path) {
    if (path.empty()) return false;
    std::error_code error;
    const auto status = fs::status(toFsPath(path), error);
    return fs::exists(status) && !fs::is_directory(status);
}

void CreateDirectoryChain(std::u16string_view Path) {
    if (DirectoryExists(Path)) return;
    for (const auto& step : directoryChainSteps(Path, NativePathStyle)) {
        if (DirectoryExists(step)) continue;
        std::error_code error;
        fs::create_directory(toFsPath(step), error);
        if (error) throw EInOutError(error.value());
        if (!DirectoryExists(step))
            throw EInOutError(static_cast<int32_t>(std::errc::not_a_directory));
    }
}

bool QueryFileAttributes(std::u16string_view FileName, TFileAttributeInfo& Info) {
    Info = TFileAttributeInfo{};
    platform::EntryData data;
    if (FileName.empty() || !platform::readEntryData(FileName, data)) return false;
    try {
        const uint32_t dos =
            DateTimeToDosDateTime(localDateTimeFromUnix(data.lastWriteUnixSeconds));
        Info.Time = DosDateTimeToDateTime(static_cast<uint16_t>(dos >> 16),
                                          static_cast<uint16_t>(dos & 0xFFFF));
    } catch (const EConvertError&) {
        Info.Time = TAbDateTime{};
    }
    Info.Size = data.size;
    Info.Attr = data.attributes;
    Info.Mode = DosAttributesToUnixMode(data.attributes);
    return true;
}

int64_t QueryFileSize(std::u16string_view FileName) {
    TFileAttributeInfo info;
    return QueryFileAttributes(FileName, info) ? info.Size : -1;
}

int32_t DosAttributesToUnixMode(int32_t Attr) {
    int32_t mode = (Attr & faReadOnly) ? 0444 : 0644;
    if (Attr & faDirectory) mode |= 040111;
    return mode;
}

namespace {

// Where a disk path is found: relative ones under searchRoot when it is given.
std::u16string locate(std::u16string_view path, std::u16string_view searchRoot) {
    if (searchRoot.empty() || ClassifyPath(path) == pkFullPath) return std::u16string(path);
    return JoinPath(searchRoot, path);
}

bool wantedEntry(const std::u16string& name, int32_t attributes, int32_t Attr) {
    if ((attributes & faDirectory) && !(Attr & faDirectory)) return false;
    if ((attributes & faHidden) && !(Attr & faHidden)) return false;
    if ((attributes & faSysFile) && !(Attr & faSysFile)) return false;
    return name != u"." && name != u"..";
}

struct FoundEntry {
    std::u16string name;
    bool isFolder = false;
};

// The entries of one folder (the current one for an empty path), in the order the system
// gives them, with their attributes filtered by Attr.
std::vector<FoundEntry> listFolder(const std::u16string& folder, int32_t Attr) {
    std::vector<FoundEntry> entries;
    std::error_code error;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : toFsPath(folder), error);
    if (error) return entries;
    for (const auto& entry : it) {
        const std::u16string name = fromFsPath(entry.path().filename());
        platform::EntryData data;
        if (!platform::readEntryData(fromFsPath(entry.path()), data)) continue;
        if (!wantedEntry(name, data.attributes, Attr)) continue;
        entries.push_back({name, (data.attributes & faDirectory) != 0});
    }
    return entries;
}

}  // namespace

void FindMatchingFiles(std::u16string_view Mask, int32_t Attr, std::vector<std::u16string>& List,
                       bool Recurse, std::u16string_view searchRoot) {
    const std::u16string dir = DirectoryPart(Mask, NativePathStyle);
    const std::u16string pattern = upperCaseAscii(NamePart(Mask, NativePathStyle));
    const std::u16string listed = locate(dir, searchRoot);
    for (const auto& entry : listFolder(listed, Attr)) {
        if (!MatchPattern(upperCaseAscii(entry.name), 1, pattern, 1)) continue;
        std::u16string found = dir + entry.name;
        if (entry.isFolder) found += pathSeparator(NativePathStyle);
        List.push_back(std::move(found));
    }
    if (!Recurse) return;
    for (const auto& entry : listFolder(listed, Attr | faDirectory)) {
        if (!entry.isFolder) continue;
        const std::u16string subMask =
            dir + entry.name + pathSeparator(NativePathStyle) + NamePart(Mask, NativePathStyle);
        FindMatchingFiles(subMask, Attr, List, Recurse, searchRoot);
    }
}

void FindMatchingFilesList(std::u16string_view Masks, int32_t Attr,
                           std::vector<std::u16string>& List, bool Recurse,
                           std::u16string_view searchRoot) {
    anyMaskPiece(Masks, [&](std::u16string_view mask) {
        FindMatchingFiles(mask, Attr, List, Recurse, searchRoot);
        return false;
    });
}

std::u16string ShortFormPath(std::u16string_view Path) {
    const char16_t separator = pathSeparator(NativePathStyle);
    std::u16string prefix;
    std::u16string rest(Path);
    if constexpr (NativePathStyle == PathStyle::Windows) {
        std::u16string drive, dir, name;
        SplitFileName(Path, drive, dir, name);
        prefix = drive + u"\\";
        rest = dir + name;
    } else if (!rest.empty() && rest[0] == u'/') {
        prefix = u"/";
        rest.erase(0, 1);
    }
    std::u16string result = prefix;
    size_t start = 0;
    while (true) {
        const size_t end = rest.find(separator, start);
        const bool isFile = end == rest.npos;
        const std::u16string element = rest.substr(start, isFile ? rest.npos : end - start);
        const std::u16string shortName = platform::shortNameOf(result + element);
        if (shortName.empty()) {
            if (isFile) throw EAbFileNotFound();
            throw EAbException(std::u16string(AbPathNotFoundS));
        }
        result += shortName;
        if (isFile) return result;
        result += separator;
        start = end + 1;
    }
}

CurrentDirectoryScope::CurrentDirectoryScope(std::u16string_view folder) {
    if (folder.empty()) return;
    FPrevious = fs::current_path();
    fs::current_path(toFsPath(folder));
    FChanged = true;
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    if (!FChanged) return;
    std::error_code ignored;
    fs::current_path(FPrevious, ignored);
}
