// Where a member of an archive may be written under an output folder. This is the one rule
// for every writer of stored names (the archive's extraction and cabtool): a stored name
// comes from the archive, which may have been made to point anywhere.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "util/path_style.h"

enum class MemberPathVerdict : uint8_t {
    safe,
    // Rooted, a drive, UNC or stream prefix, an empty, "." or ".." element (or one that
    // Windows reads as such, like "..." or ". "), or no file name at all.
    leavesFolder,
    // A character this platform cannot store in a file name.
    invalidCharacters,
    // An existing folder on the way below the output folder is a symbolic link.
    throughLink,
};

template <typename Char>
struct MemberPath {
    MemberPathVerdict verdict = MemberPathVerdict::leavesFolder;
    // The path below the output folder, with the separators of the path style; empty unless
    // the verdict is safe.
    std::basic_string<Char> relative;
};

// The lexical half of the rule. storedName follows the Windows convention ("\" or "/"
// between folders, ":" after a drive); its folder parts are kept only with keepFolders,
// otherwise only the name after the last "\", "/" or ":" counts. Answers safe or
// leavesFolder; characters and links are not looked at. Char is char16_t for names already
// decoded to UTF-16, or char for the raw bytes of a name (every character the rule looks at
// is ASCII, so bytes of UTF-8 or of an ANSI code page are judged alike).
MemberPath<char16_t> memberRelativePath(std::u16string_view storedName, bool keepFolders,
                                        PathStyle style);
MemberPath<char> memberRelativePath(std::string_view storedName, bool keepFolders, PathStyle style);

// True when an entry that exists on the way from folder down to folder / relative, the last
// element of relative excluded, is a symbolic link. Writing through one would put the file
// wherever the link points. Every such link is refused, also one that points back inside the
// folder: an archive has no business arranging where its members land through links, and
// a link that stays inside today can be changed to lead out before the next member. The last
// element is not looked at: a member replaces an existing link by renaming over it, which
// leaves the link's target alone. Folders that do not exist yet end the walk; the writer
// makes them as real folders.
bool passesThroughLink(const std::filesystem::path& folder, const std::filesystem::path& relative);

// The whole rule for a member to be written under folder on this platform: the lexical
// half in the native path style, then this platform's invalid characters, then links.
MemberPath<char16_t> memberOutputPath(const std::filesystem::path& folder,
                                      std::u16string_view storedName, bool keepFolders);
MemberPath<char> memberOutputPath(const std::filesystem::path& folder, std::string_view storedName,
                                  bool keepFolders);
