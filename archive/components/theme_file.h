// What a theme pack's ".theme" file (an INI file) says about its theme: the name, the
// wallpaper and how it is placed, the background colour and the slideshow. The reader never
// fails: a file that says nothing usable, or is not a theme file at all, gives the defaults.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How the wallpaper covers the screen, by the values of PicturePosition.
enum class TWallpaperPlacement : uint8_t {
    wpCenter = 0,
    wpTile = 1,
    wpStretch = 2,
    wpFit = 3,
    wpFill = 4,
    wpSpan = 5,
};

struct TRgbColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    bool operator==(const TRgbColor&) const = default;
};

struct TThemeSlideshow {
    bool Present = false;                // the file has a [Slideshow] section
    std::optional<uint32_t> IntervalMs;  // how long each picture shows
    bool Shuffle = false;
    std::u16string ImagesRootPath;          // a folder of the pack ("\" between folders)
    std::vector<std::u16string> ItemPaths;  // the ItemNPath entries in the order of N
    std::u16string RssFeed;                 // the show's pictures come from this feed
};

struct TThemeFile {
    // The name the file gives its theme; empty when it gives none that can be shown (a
    // resource reference such as "@themeui.dll,-2013" is not one).
    std::u16string DisplayName;
    std::u16string Wallpaper;  // as stored, "\" between folders; empty when none
    std::optional<TWallpaperPlacement> Placement;
    std::optional<TRgbColor> Background;
    TThemeSlideshow Slideshow;
};

// Reads a theme file from its bytes: UTF-16LE with a byte-order mark, UTF-8 with or without
// one when the bytes are valid UTF-8, otherwise Windows-1252. Sections and keys compare
// without regard to ASCII letter case, lines end in CRLF, LF or CR, and a line whose first
// non-blank character is ";" is a comment. Values of the sections whose names end in ".W"
// are UTF-7. When a key appears more than once the first one counts.
TThemeFile ReadThemeFile(std::string_view bytes);

// The theme's name: the file's display name, or the pack's file name without its extension.
std::u16string ThemeName(const TThemeFile& theme, const std::u16string& packPath);
