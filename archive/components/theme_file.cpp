#include "archive/components/theme_file.h"

#include <algorithm>
#include <map>

#include "archive/cab/ab_code_page.h"
#include "archive/core/ab_text.h"
#include "util/common_func.h"
#include "util/utf16_text.h"
#include "util/utf7_text.h"

namespace {

using Section = std::map<std::u16string, std::u16string>;  // upper-cased key -> value
using Sections = std::map<std::u16string, Section>;        // upper-cased name -> keys

std::u16string decodeUtf16Le(std::string_view bytes) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                        static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    return text;
}

bool isValidUtf8(std::string_view bytes) {
    // Well-formed UTF-8 survives the round trip; anything else comes back with U+FFFD in
    // place of the bytes that were not.
    return utf16ToUtf8(utf8ToUtf16(bytes)) == bytes;
}

std::u16string decodeText(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) return decodeUtf16Le(bytes.substr(2));
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (isValidUtf8(bytes)) return utf8ToUtf16(bytes);
    return pelmora::codepage::windows1252ToUtf16(bytes);
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view trimmed(std::u16string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::u16string_view unquoted(std::u16string_view value) {
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"') {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

bool isWideSection(std::u16string_view upperName) {
    return upperName.ends_with(u".W");
}

// The value as the file means it: UTF-7 in a ".W" section. A value that is not well-formed
// UTF-7 is dropped, so that the next source of the same fact is used.
std::u16string valueOf(std::u16string_view raw, bool wide) {
    std::u16string value(unquoted(trimmed(raw)));
    if (!wide) return value;
    std::u16string decoded;
    return decodeUtf7(value, decoded) ? decoded : std::u16string();
}

Sections parseSections(std::u16string_view text) {
    Sections sections;
    Section* current = nullptr;
    bool wide = false;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of(u"\r\n", start);
        if (end == std::u16string_view::npos) end = text.size();
        const std::u16string_view line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == u';') continue;
        if (line.front() == u'[') {
            const size_t close = line.find(u']');
            if (close == std::u16string_view::npos) {
                current = nullptr;
                continue;
            }
            const std::u16string name = upperCaseAscii(trimmed(line.substr(1, close - 1)));
            current = &sections[name];
            wide = isWideSection(name);
            continue;
        }
        const size_t equals = line.find(u'=');
        if (!current || equals == std::u16string_view::npos) continue;
        const std::u16string key = upperCaseAscii(trimmed(line.substr(0, equals)));
        if (!current->contains(key)) current->emplace(key, valueOf(line.substr(equals + 1), wide));
    }
    return sections;
}

std::u16string lookup(const Sections& sections, std::u16string_view section,
                      std::u16string_view key) {
    const auto found = sections.find(std::u16string(section));
    if (found == sections.end()) return {};
    const auto value = found->second.find(std::u16string(key));
    return value == found->second.end() ? std::u16string() : value->second;
}

// A whole decimal number that fits in 32 bits, and nothing else.
std::optional<uint32_t> parseNumber(std::u16string_view text) {
    text = trimmed(text);
    if (text.empty() || text.size() > 10) return std::nullopt;
    uint64_t value = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    if (value > UINT32_MAX) return std::nullopt;
    return static_cast<uint32_t>(value);
}

bool usableName(std::u16string_view name) {
    return !name.empty() && name.front() != u'@';
}

std::u16string displayName(const Sections& sections) {
    for (const char16_t* section : {u"THEME", u"THEME.W"}) {
        const std::u16string name = lookup(sections, section, u"DISPLAYNAME");
        if (usableName(name)) return name;
    }
    return {};
}

// PicturePosition, or what the older pair WallpaperStyle and TileWallpaper say.
std::optional<TWallpaperPlacement> placement(const Sections& sections) {
    constexpr char16_t kDesktop[] = u"CONTROL PANEL\\DESKTOP";
    const auto position = parseNumber(lookup(sections, kDesktop, u"PICTUREPOSITION"));
    if (position && *position <= 5) return static_cast<TWallpaperPlacement>(*position);
    const auto style = parseNumber(lookup(sections, kDesktop, u"WALLPAPERSTYLE"));
    if (!style) return std::nullopt;
    switch (*style) {
        case 0: {
            const auto tile = parseNumber(lookup(sections, kDesktop, u"TILEWALLPAPER"));
            return tile == 1u ? TWallpaperPlacement::wpTile : TWallpaperPlacement::wpCenter;
        }
        case 2:
            return TWallpaperPlacement::wpStretch;
        case 6:
            return TWallpaperPlacement::wpFit;
        case 10:
            return TWallpaperPlacement::wpFill;
        case 22:
            return TWallpaperPlacement::wpSpan;
        default:
            return std::nullopt;
    }
}

// "R G B", each 0 to 255.
std::optional<TRgbColor> color(std::u16string_view text) {
    uint32_t parts[3];
    size_t count = 0;
    size_t start = 0;
    text = trimmed(text);
    while (start < text.size()) {
        size_t end = text.find_first_of(u" \t", start);
        if (end == std::u16string_view::npos) end = text.size();
        if (end > start) {
            const auto part = parseNumber(text.substr(start, end - start));
            if (count == 3 || !part || *part > 255) return std::nullopt;
            parts[count++] = *part;
        }
        start = end + 1;
    }
    if (count != 3) return std::nullopt;
    return TRgbColor{static_cast<uint8_t>(parts[0]), static_cast<uint8_t>(parts[1]),
                     static_cast<uint8_t>(parts[2])};
}

// "ITEM<N>PATH" gives N.
std::optional<uint32_t> itemNumber(std::u16string_view upperKey) {
    if (!upperKey.starts_with(u"ITEM") || !upperKey.ends_with(u"PATH")) return std::nullopt;
    const std::u16string_view digits = upperKey.substr(4, upperKey.size() - 8);
    if (digits.empty() || digits != trimmed(digits)) return std::nullopt;
    return parseNumber(digits);
}

TThemeSlideshow slideshow(const Sections& sections) {
    TThemeSlideshow show;
    const auto found = sections.find(u"SLIDESHOW");
    if (found == sections.end()) return show;
    const Section& keys = found->second;
    show.Present = true;
    show.IntervalMs = parseNumber(lookup(sections, u"SLIDESHOW", u"INTERVAL"));
    show.Shuffle = parseNumber(lookup(sections, u"SLIDESHOW", u"SHUFFLE")) == 1u;
    show.ImagesRootPath = lookup(sections, u"SLIDESHOW", u"IMAGESROOTPATH");
    show.RssFeed = lookup(sections, u"SLIDESHOW", u"RSSFEED");
    std::vector<std::pair<uint32_t, std::u16string>> items;
    for (const auto& [key, value] : keys) {
        const auto number = itemNumber(key);
        if (number && !value.empty()) items.emplace_back(*number, value);
    }
    std::stable_sort(items.begin(), items.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& item : items) show.ItemPaths.push_back(std::move(item.second));
    return show;
}

}  // namespace

TThemeFile ReadThemeFile(std::string_view bytes) {
    const Sections sections = parseSections(decodeText(bytes));
    TThemeFile theme;
    theme.DisplayName = displayName(sections);
    // The ".W" value is the exact one; the plain one may have lost characters the code page
    // of the system that wrote it could not hold.
    theme.Wallpaper = lookup(sections, u"CONTROL PANEL\\DESKTOP.W", u"WALLPAPER");
    if (theme.Wallpaper.empty())
        theme.Wallpaper = lookup(sections, u"CONTROL PANEL\\DESKTOP", u"WALLPAPER");
    theme.Placement = placement(sections);
    theme.Background = color(lookup(sections, u"CONTROL PANEL\\COLORS", u"BACKGROUND"));
    theme.Slideshow = slideshow(sections);
    return theme;
}

std::u16string ThemeName(const TThemeFile& theme, const std::u16string& packPath) {
    return theme.DisplayName.empty() ? ExtractBaseName(packPath) : theme.DisplayName;
}
