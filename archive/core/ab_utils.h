// Name, mask and path utilities of the archive code, progress percentages and numbered
// extensions. Stored member names and masks always follow the Windows convention ("\"
// separates folders, ":" ends a drive name, "/" is turned into "\" before comparison).
// Disk paths follow the convention of the platform, given by a PathStyle: under Posix, "/"
// plays the part "\" plays under Windows and there are no drives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/core/ab_date_time.h"
#include "util/path_style.h"

enum TPathKind : uint8_t { pkBareName, pkRelativePath, pkFullPath };

// Turns every "/" of S into "\".
void FixSlashes(std::u16string& S);

// Windows: full with a ":" or two consecutive backslashes anywhere, relative with a "\" or "/",
// else bare. Posix: full when it starts with "/", relative with a "/" elsewhere, else bare.
TPathKind ClassifyPath(std::u16string_view S, PathStyle style = NativePathStyle);

// S up to and including its last delimiter ("\" or ":" under Windows, "/" under Posix);
// empty when it has none.
std::u16string DirectoryPart(std::u16string_view P, PathStyle style);
// The rest of S after its last delimiter; all of S when it has none.
std::u16string NamePart(std::u16string_view P, PathStyle style);
// DirectoryPart without its final separator, except where that separator is the first
// character or follows a ":" ("C:\a.jpg" gives "C:\", "/a.jpg" gives "/").
std::u16string FolderOf(std::u16string_view P, PathStyle style = NativePathStyle);

// Splits a Windows path into drive ("C:" or "\\server\share"), directory and name.
void SplitFileName(std::u16string_view Path, std::u16string& Drive, std::u16string& Dir,
                   std::u16string& Name);

// Length of the prefix of S that ends just before its N-th separator; the length of S when it
// has fewer than N.
int32_t PrefixBeforeBackslash(std::u16string_view S, int32_t N, char16_t separator = u'\\');

// Wildcard match of S from position SPos against Pattern from position PPos (both counted
// from 1): "*" matches any run, "?" one character; "*" and "*.*" match any non-empty S.
// Characters compare code unit by code unit.
bool MatchPattern(std::u16string_view S, int32_t SPos, std::u16string_view Pattern, int32_t PPos);

// ASCII-case-insensitive match of a Windows name against a mask: a mask without a directory
// part is compared with the name part only.
bool MatchFileName(std::u16string_view Name, std::u16string_view Mask);

// Calls visit(piece) for each trimmed piece of a ";"-separated mask list, in order, until it
// answers true; answers whether one did. A trailing ";" adds no empty piece.
template <typename Visit>
bool anyMaskPiece(std::u16string_view masks, Visit visit);

// One disk path from a base folder and a name. Raises EInvalidPathChars when either holds a
// character this platform cannot store in a path, or the name one it cannot store in a file
// name (IsInvalidPathChar, IsInvalidNameChar). A rooted name is answered unchanged.
std::u16string JoinPath(std::u16string_view Base, std::u16string_view Name,
                        PathStyle style = NativePathStyle);

// The folders CreateDirectoryChain makes, outermost first: the drive or UNC share (Windows)
// and the root (Posix) are not among them.
std::vector<std::u16string> directoryChainSteps(std::u16string_view Path,
                                                PathStyle style = NativePathStyle);

// A base directory value without its one trailing separator ("C:\out\" gives "C:\out";
// "C:\", "\" and "/" stay).
std::u16string trimBaseDirectory(std::u16string_view value, PathStyle style = NativePathStyle);

// Done as a percentage of Total: 0 for Total <= 0, 100 once Done reaches Total, else
// Done * 100 div Total.
uint8_t Percentage(int64_t Done, int64_t Total);

// Removes the drive or UNC part of a Windows path.
void StripDrive(std::u16string& Path);
// Removes every leading "..\".
void StripLeadingDotDots(std::u16string& Path);

// Replaces the extension by the next volume number ("disk.cab", 0 gives "disk.c01").
void IncrementNumberedExtension(std::u16string& Name, uint16_t Number);

// A disk path of the given style as a stored name (Windows convention).
std::u16string diskToStoredSeparators(std::u16string_view path, PathStyle style);

// The disk path under which a member is extracted when the caller gives no name of its own:
// the stored name (its folder parts only with keepFolders; a folder item without its
// trailing "\") joined to baseDirectory, by the rule of memberOutputPath. Raises
// EAbUnsafeStoredName when that path would lead outside baseDirectory, EInvalidNameChars
// for a character this platform cannot store in a name, and EAbLinkInStoredPath when an
// existing folder on the way is a symbolic link.
std::u16string outputPathForStoredName(std::u16string_view storedName, bool isDirectory,
                                       bool keepFolders, std::u16string_view baseDirectory);

template <typename Visit>
bool anyMaskPiece(std::u16string_view masks, Visit visit) {
    size_t start = 0;
    while (start < masks.size()) {
        size_t end = masks.find(u';', start);
        if (end == std::u16string_view::npos) end = masks.size();
        std::u16string_view piece = masks.substr(start, end - start);
        while (!piece.empty() && piece.front() <= u' ') piece.remove_prefix(1);
        while (!piece.empty() && piece.back() <= u' ') piece.remove_suffix(1);
        if (visit(piece)) return true;
        start = end + 1;
    }
    return false;
}

#include "archive/core/ab_file_system.h"
