// Registering an extracted theme with the desktop's background picker: a
// background-properties file in the list that GNOME Settings (and the desktops that read the
// same list) shows, and for a theme of several pictures a slideshow file beside them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/components/theme_file.h"

// How long each picture of a slideshow shows when the theme does not say: Windows' own
// default of 30 minutes.
constexpr uint32_t kDefaultSlideIntervalMs = 30 * 60 * 1000;
// The cross-fade from one picture to the next.
constexpr uint32_t kSlideFadeMs = 2000;

// The name the desktop uses for a placement ("zoom" for fill, "scaled" for fit...); fill when
// the theme does not say.
const char* BackgroundOptionsName(std::optional<TWallpaperPlacement> placement);

// Text with the five characters that XML reserves written as references, and characters
// XML 1.0 cannot hold at all replaced by U+FFFD.
std::string XmlEscaped(std::u16string_view text);

// The background-properties list with one entry: the theme's name, the picture or slideshow
// file (absolute), the placement and the background colour.
std::string BackgroundPropertiesXml(std::u16string_view name, std::u16string_view file,
                                    std::optional<TWallpaperPlacement> placement,
                                    std::optional<TRgbColor> color);

// A slideshow of the pictures (absolute paths) in order, each shown for intervalMs (the
// default when absent or zero) and faded into the next, the last into the first.
std::string SlideshowXml(const std::vector<std::u16string>& pictures,
                         std::optional<uint32_t> intervalMs);

// $XDG_DATA_HOME/gnome-background-properties, or ~/.local/share/gnome-background-properties
// where XDG_DATA_HOME is unset or not absolute; empty when neither can be found.
std::u16string BackgroundPropertiesFolder();

// The file name of a theme's background-properties file: the theme's name with the characters
// a file name cannot hold replaced, marked as ours so that a later run replaces only its own.
std::u16string BackgroundPropertiesFileName(std::u16string_view themeName);
// The slideshow file's name in the pack's folder.
extern const char16_t kSlideshowFileName[];

// Writes text into path through a temporary file put in place in one step, so that a failed
// write leaves the earlier file as it was. Raises on failure with the reason.
void ReplaceFileWith(const std::u16string& path, const std::string& text);
