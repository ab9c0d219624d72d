#include "util/member_output_path.h"

#include <system_error>
#include <type_traits>
#include <vector>

#include "util/path_characters.h"
#include "util/utf16_text.h"

namespace {

namespace fs = std::filesystem;

template <typename Char>
constexpr Char ch(char c) {
    return static_cast<Char>(c);
}

template <typename Char>
char16_t asUtf16Unit(Char c) {
    return static_cast<char16_t>(static_cast<std::make_unsigned_t<Char>>(c));
}

template <typename Char>
bool isFolderMark(Char c) {
    return c == ch<Char>('\\') || c == ch<Char>('/');
}

// Windows drops trailing dots and spaces from a path element: "..." and ". " name the folder
// itself or its parent there.
template <typename Char>
std::basic_string_view<Char> asWindowsReadsIt(std::basic_string_view<Char> element) {
    while (!element.empty() && (element.back() == ch<Char>('.') || element.back() == ch<Char>(' ')))
        element.remove_suffix(1);
    return element;
}

template <typename Char>
bool isDotOrDotDot(std::basic_string_view<Char> element) {
    const bool allDots = element.find_first_not_of(ch<Char>('.')) == element.npos;
    return allDots && (element.size() == 1 || element.size() == 2);
}

template <typename Char>
bool staysInPlace(std::basic_string_view<Char> element, PathStyle style) {
    if (element.empty() || isDotOrDotDot(element)) return false;
    return style != PathStyle::Windows || !asWindowsReadsIt(element).empty();
}

template <typename Char>
std::vector<std::basic_string_view<Char>> elementsOf(std::basic_string_view<Char> name) {
    std::vector<std::basic_string_view<Char>> elements;
    size_t start = 0;
    while (true) {
        size_t end = start;
        while (end < name.size() && !isFolderMark(name[end])) ++end;
        elements.push_back(name.substr(start, end - start));
        if (end == name.size()) return elements;
        start = end + 1;
    }
}

fs::path asFsPath(const std::string& bytes) {
    return fs::path(bytes);
}

fs::path asFsPath(const std::u16string& text) {
    const std::string utf8 = utf16ToUtf8(text);
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

template <typename Char>
MemberPath<Char> relativePathOf(std::basic_string_view<Char> storedName, bool keepFolders,
                                PathStyle style) {
    MemberPath<Char> result;
    std::basic_string_view<Char> name = storedName;
    if (!keepFolders) {
        // The bare name: what follows the last folder or drive mark.
        for (size_t i = name.size(); i > 0; --i) {
            if (isFolderMark(name[i - 1]) || name[i - 1] == ch<Char>(':')) {
                name.remove_prefix(i);
                break;
            }
        }
    }
    // A drive ("C:"), a stream ("a.jpg:x") and a rooted or UNC name would all be read as
    // something other than a place below the folder.
    if (name.find(ch<Char>(':')) != name.npos) return result;
    std::basic_string<Char> relative;
    for (const auto element : elementsOf(name)) {
        if (!staysInPlace(element, style)) return result;
        if (!relative.empty()) relative += static_cast<Char>(pathSeparator(style));
        relative += element;
    }
    result.verdict = MemberPathVerdict::safe;
    result.relative = std::move(relative);
    return result;
}

template <typename Char>
MemberPath<Char> outputPathOf(const fs::path& folder, std::basic_string_view<Char> storedName,
                              bool keepFolders);

}  // namespace

bool passesThroughLink(const fs::path& folder, const fs::path& relative) {
    fs::path onTheWay = folder;
    const fs::path folders = relative.parent_path();
    for (const fs::path& element : folders) {
        onTheWay /= element;
        std::error_code error;
        const fs::file_status status = fs::symlink_status(onTheWay, error);
        if (fs::is_symlink(status)) return true;
        if (error || !fs::exists(status)) return false;
    }
    return false;
}

namespace {

template <typename Char>
MemberPath<Char> outputPathOf(const fs::path& folder, std::basic_string_view<Char> storedName,
                              bool keepFolders) {
    MemberPath<Char> result = relativePathOf(storedName, keepFolders, NativePathStyle);
    if (result.verdict != MemberPathVerdict::safe) return result;
    for (const Char c : result.relative) {
        if (IsInvalidNameChar(asUtf16Unit(c))) return {MemberPathVerdict::invalidCharacters, {}};
    }
    if (passesThroughLink(folder, asFsPath(result.relative))) {
        return {MemberPathVerdict::throughLink, {}};
    }
    return result;
}

}  // namespace

MemberPath<char16_t> memberRelativePath(std::u16string_view storedName, bool keepFolders,
                                        PathStyle style) {
    return relativePathOf(storedName, keepFolders, style);
}

MemberPath<char> memberRelativePath(std::string_view storedName, bool keepFolders,
                                    PathStyle style) {
    return relativePathOf(storedName, keepFolders, style);
}

MemberPath<char16_t> memberOutputPath(const fs::path& folder, std::u16string_view storedName,
                                      bool keepFolders) {
    return outputPathOf(folder, storedName, keepFolders);
}

MemberPath<char> memberOutputPath(const fs::path& folder, std::string_view storedName,
                                  bool keepFolders) {
    return outputPathOf(folder, storedName, keepFolders);
}
