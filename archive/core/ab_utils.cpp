#include "archive/core/ab_utils.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_text.h"
#include "util/errors.h"
#include "util/member_output_path.h"
#include "util/path_characters.h"

namespace {

bool isDelimiter(char16_t c, PathStyle style) {
    return style == PathStyle::Windows ? (c == u'\\' || c == u':') : c == u'/';
}

// Index of the last delimiter of P, or npos.
size_t lastDelimiter(std::u16string_view P, PathStyle style) {
    for (size_t i = P.size(); i > 0; --i) {
        if (isDelimiter(P[i - 1], style)) return i - 1;
    }
    return std::u16string_view::npos;
}

bool hasDoubleBackslash(std::u16string_view S) {
    return S.find(u"\\\\") != S.npos;
}

// A path may not hold a character the platform cannot store; a name, one it cannot store
// in a file name either.
void checkPathChars(std::u16string_view S, bool isName) {
    for (const char16_t c : S) {
        if (isName ? IsInvalidNameChar(c) : IsInvalidPathChar(c)) throw EInvalidPathChars();
    }
}

bool isRooted(std::u16string_view Name, PathStyle style) {
    if (Name.empty()) return false;
    if (style == PathStyle::Posix) return Name[0] == u'/';
    return Name[0] == u'\\' || Name[0] == u'/' || (Name.size() > 1 && Name[1] == u':');
}

}  // namespace

void FixSlashes(std::u16string& S) {
    std::replace(S.begin(), S.end(), u'/', u'\\');
}

TPathKind ClassifyPath(std::u16string_view S, PathStyle style) {
    if (style == PathStyle::Posix) {
        if (!S.empty() && S[0] == u'/') return pkFullPath;
        return S.find(u'/') != S.npos ? pkRelativePath : pkBareName;
    }
    if (hasDoubleBackslash(S) || S.find(u':') != S.npos) return pkFullPath;
    return S.find_first_of(u"\\/") != S.npos ? pkRelativePath : pkBareName;
}

std::u16string DirectoryPart(std::u16string_view P, PathStyle style) {
    const size_t last = lastDelimiter(P, style);
    return last == P.npos ? std::u16string() : std::u16string(P.substr(0, last + 1));
}

std::u16string NamePart(std::u16string_view P, PathStyle style) {
    const size_t last = lastDelimiter(P, style);
    return std::u16string(last == P.npos ? P : P.substr(last + 1));
}

std::u16string FolderOf(std::u16string_view P, PathStyle style) {
    std::u16string dir = DirectoryPart(P, style);
    const char16_t separator = pathSeparator(style);
    if (dir.size() > 1 && dir.back() == separator && dir[dir.size() - 2] != u':') {
        dir.pop_back();
    }
    return dir;
}

void SplitFileName(std::u16string_view Path, std::u16string& Drive, std::u16string& Dir,
                   std::u16string& Name) {
    std::u16string copy(Path);
    FixSlashes(copy);
    Drive.clear();
    Name = NamePart(copy, PathStyle::Windows);
    Dir = DirectoryPart(copy, PathStyle::Windows);
    if (hasDoubleBackslash(Dir)) {
        const auto length = static_cast<size_t>(PrefixBeforeBackslash(Dir, 4));
        Drive = Dir.substr(0, length);
        Dir.erase(0, std::min(Dir.size(), length + 1));
    } else if (Dir.find(u':') != Dir.npos) {
        Drive = Dir.substr(0, 2);
        Dir.erase(0, std::min<size_t>(Dir.size(), 2));
        if (!Dir.empty() && Dir[0] == u'\\') Dir.erase(0, 1);
    }
}

int32_t PrefixBeforeBackslash(std::u16string_view S, int32_t N, char16_t separator) {
    int32_t found = 0;
    for (size_t i = 0; i < S.size(); ++i) {
        if (S[i] == separator && ++found == N) return static_cast<int32_t>(i);
    }
    return static_cast<int32_t>(S.size());
}

bool MatchPattern(std::u16string_view S, int32_t SPos, std::u16string_view Pattern, int32_t PPos) {
    if (S.empty()) return Pattern.empty();
    if (PPos == 1 && (Pattern == u"*.*" || Pattern == u"*")) return true;
    if (Pattern.empty()) return static_cast<size_t>(SPos) == S.size() + 1;
    // Greedy matching with one resume point: the most recent "*" takes one more character
    // each time the rest fails. This answers as trying every run for every "*" would, in
    // O(|S| * |Pattern|) steps at worst rather than exponentially many.
    size_t i = static_cast<size_t>(std::max(SPos, 1) - 1);
    size_t j = static_cast<size_t>(std::max(PPos, 1) - 1);
    size_t starAt = std::u16string_view::npos;
    size_t resumeAt = 0;
    while (true) {
        if (j < Pattern.size() && Pattern[j] == u'*') {
            starAt = j++;
            resumeAt = i;
            continue;
        }
        if (i == S.size() && j == Pattern.size()) return true;
        if (i < S.size() && j < Pattern.size() && (Pattern[j] == u'?' || Pattern[j] == S[i])) {
            ++i;
            ++j;
            continue;
        }
        if (starAt == std::u16string_view::npos || resumeAt >= S.size()) return false;
        i = ++resumeAt;
        j = starAt + 1;
    }
}

bool MatchFileName(std::u16string_view Name, std::u16string_view Mask) {
    const std::u16string name = upperCaseAscii(Name);
    const std::u16string mask = upperCaseAscii(Mask);
    const std::u16string maskDir = DirectoryPart(mask, PathStyle::Windows);
    if (!maskDir.empty() && !MatchPattern(DirectoryPart(name, PathStyle::Windows), 1, maskDir, 1)) {
        return false;
    }
    return MatchPattern(NamePart(name, PathStyle::Windows), 1, NamePart(mask, PathStyle::Windows),
                        1);
}

std::u16string JoinPath(std::u16string_view Base, std::u16string_view Name, PathStyle style) {
    if (Base.empty()) return std::u16string(Name);
    if (Name.empty()) return std::u16string(Base);
    checkPathChars(Base, false);
    checkPathChars(Name, false);
    const bool extendedLength = style == PathStyle::Windows && Name.starts_with(u"\\\\?\\");
    checkPathChars(extendedLength ? Name.substr(4) : Name, true);
    if (extendedLength || isRooted(Name, style)) return std::u16string(Name);
    const char16_t last = Base.back();
    const bool endsWithDelimiter = style == PathStyle::Windows
                                       ? (last == u'\\' || last == u'/' || last == u':')
                                       : last == u'/';
    std::u16string joined(Base);
    if (!endsWithDelimiter) joined += pathSeparator(style);
    joined += Name;
    return joined;
}

std::vector<std::u16string> directoryChainSteps(std::u16string_view Path, PathStyle style) {
    const char16_t separator = pathSeparator(style);
    int32_t n = (style == PathStyle::Windows && hasDoubleBackslash(Path)) ? 5 : 2;
    std::vector<std::u16string> steps;
    while (true) {
        const auto length = static_cast<size_t>(PrefixBeforeBackslash(Path, n, separator));
        if (length > 0) steps.emplace_back(Path.substr(0, length));
        if (length >= Path.size()) break;
        ++n;
    }
    return steps;
}

std::u16string trimBaseDirectory(std::u16string_view value, PathStyle style) {
    std::u16string trimmed(value);
    if (trimmed.size() > 1 && trimmed.back() == pathSeparator(style) &&
        trimmed[trimmed.size() - 2] != u':') {
        trimmed.pop_back();
    }
    return trimmed;
}

namespace {

// a * b as a 128-bit value (high, low), for b below 2^32.
std::pair<uint64_t, uint64_t> multiplyWide(uint64_t a, uint64_t b) {
    const uint64_t low = (a & 0xFFFFFFFFu) * b;
    const uint64_t high = (a >> 32) * b + (low >> 32);
    return {high >> 32, (high << 32) | (low & 0xFFFFFFFFu)};
}

}  // namespace

uint8_t Percentage(int64_t Done, int64_t Total) {
    if (Total <= 0) return 0;
    if (Done >= Total) return 100;
    if (Done <= 0) return 0;
    if (Done <= INT64_MAX / 100) return static_cast<uint8_t>(Done * 100 / Total);
    // Done * 100 does not fit in 64 bits: find the largest k with k * Total <= Done * 100.
    const auto scaled = multiplyWide(static_cast<uint64_t>(Done), 100);
    uint8_t k = 99;
    while (k > 0 && multiplyWide(static_cast<uint64_t>(Total), k) > scaled) --k;
    return k;
}

void StripDrive(std::u16string& Path) {
    std::u16string drive, dir, name;
    SplitFileName(Path, drive, dir, name);
    Path = dir + name;
}

void StripLeadingDotDots(std::u16string& Path) {
    while (Path.starts_with(u"..\\")) Path.erase(0, 3);
}

void IncrementNumberedExtension(std::u16string& Name, uint16_t Number) {
    const size_t lastSeparator = Name.find_last_of(u"\\:");
    size_t dot = Name.find_last_of(u'.');
    if (dot != Name.npos && lastSeparator != Name.npos && dot < lastSeparator) dot = Name.npos;
    const std::u16string extension = dot == Name.npos ? std::u16string() : Name.substr(dot);
    const unsigned next = (static_cast<unsigned>(Number) + 1) % 100;
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02u", next);
    std::u16string newExtension = u".";
    if (extension.size() >= 2) newExtension += extension[1];
    newExtension += static_cast<char16_t>(digits[0]);
    newExtension += static_cast<char16_t>(digits[1]);
    Name = (dot == Name.npos ? Name : Name.substr(0, dot)) + newExtension;
}

std::u16string diskToStoredSeparators(std::u16string_view path, PathStyle style) {
    std::u16string name(path);
    if (style == PathStyle::Posix) {
        std::replace(name.begin(), name.end(), u'/', u'\\');
    } else {
        FixSlashes(name);
    }
    return name;
}

std::u16string outputPathForStoredName(std::u16string_view storedName, bool isDirectory,
                                       bool keepFolders, std::u16string_view baseDirectory) {
    std::u16string_view name = storedName;
    if (isDirectory && (name.ends_with(u'\\') || name.ends_with(u'/'))) name.remove_suffix(1);
    const MemberPath<char16_t> member =
        memberOutputPath(toFsPath(baseDirectory.empty() ? u"." : baseDirectory), name, keepFolders);
    switch (member.verdict) {
        case MemberPathVerdict::safe:
            return JoinPath(baseDirectory, member.relative);
        case MemberPathVerdict::leavesFolder:
            throw EAbUnsafeStoredName();
        case MemberPathVerdict::invalidCharacters:
            throw EInvalidNameChars();
        case MemberPathVerdict::throughLink:
            throw EAbLinkInStoredPath();
    }
    throw EAbUnsafeStoredName();
}
