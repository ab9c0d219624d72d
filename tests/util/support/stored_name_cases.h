// Stored names and where the member-path rule puts them, on Windows and on POSIX systems.
// One table for every writer of stored names: the rule itself, the archive's extraction and
// cabtool are each tested against it.
#pragma once

#include <string>
#include <vector>

namespace storednames {

// An expected outcome: one of the two markers below, or the relative path written under the
// output folder (with the platform's separators).
inline const std::string kLeavesFolder = "<leaves the folder>";
inline const std::string kBadCharacters = "<invalid characters>";

struct Case {
    std::string stored;  // UTF-8, as the archive holds it
    bool keepFolders;    // stored folders recreated (else only the bare name counts)
    std::string onWindows;
    std::string onPosix;
};

inline std::string onThisPlatform(const Case& c) {
#ifdef _WIN32
    return c.onWindows;
#else
    return c.onPosix;
#endif
}

inline const std::vector<Case>& cases() {
    static const std::vector<Case> table = {
        {"a.jpg", true, "a.jpg", "a.jpg"},
        {"x\\y\\a.jpg", true, "x\\y\\a.jpg", "x/y/a.jpg"},
        {"Theme/a.jpg", true, "Theme\\a.jpg", "Theme/a.jpg"},
        {"Theme\\a.jpg", false, "a.jpg", "a.jpg"},
        {"..a.jpg", true, "..a.jpg", "..a.jpg"},
        {"a..b", true, "a..b", "a..b"},
        // Rooted, drive, UNC and stream names.
        {"\\a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"/tmp/a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"C:\\a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"C:a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"\\\\srv\\share\\a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"x\\a.jpg:stream", true, kLeavesFolder, kLeavesFolder},
        // Parent, self and empty elements.
        {"..", true, kLeavesFolder, kLeavesFolder},
        {"..\\a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"../a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"x\\..\\..\\a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"x/./a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"x\\\\a.jpg", true, kLeavesFolder, kLeavesFolder},
        {"x\\", true, kLeavesFolder, kLeavesFolder},
        // Elements that Windows reads as "." or "..", and only Windows.
        {"x\\...\\a.jpg", true, kLeavesFolder, "x/.../a.jpg"},
        {"x\\.. \\a.jpg", true, kLeavesFolder, "x/.. /a.jpg"},
        {"x\\. \\a.jpg", true, kLeavesFolder, "x/. /a.jpg"},
        {" ", true, kLeavesFolder, " "},
        // Without stored folders only the bare name counts, and it is harmless unless it is
        // itself "." or "..".
        {"..\\a.jpg", false, "a.jpg", "a.jpg"},
        {"/tmp/a.jpg", false, "a.jpg", "a.jpg"},
        {"C:\\a.jpg", false, "a.jpg", "a.jpg"},
        {"D:a.jpg", false, "a.jpg", "a.jpg"},
        {"a.jpg:stream", false, "stream", "stream"},
        {"x\\..", false, kLeavesFolder, kLeavesFolder},
        {"..", false, kLeavesFolder, kLeavesFolder},
        // Characters: POSIX can store all but the control characters, Windows refuses more.
        {"a|b.jpg", false, kBadCharacters, "a|b.jpg"},
        {"q\"<>.jpg", true, kBadCharacters, "q\"<>.jpg"},
        {"what?*.jpg", false, kBadCharacters, "what?*.jpg"},
        {"esc\x1b[31m.jpg", false, kBadCharacters, kBadCharacters},
        {"tab\tname.jpg", true, kBadCharacters, kBadCharacters},
        {"x\x01y\\a.jpg", true, kBadCharacters, kBadCharacters},
        {"x\x01y\\a.jpg", false, "a.jpg", "a.jpg"},
    };
    return table;
}

// A name for a case, for test names: letters and digits only.
inline std::string caseTitle(size_t index) {
    return "case" + std::to_string(index);
}

}  // namespace storednames
