#include "cli/desktop_backgrounds.h"

#include <stdexcept>

#include "archive/cab/ab_output_file.h"
#include "util/environment.h"
#include "util/utf16_text.h"

namespace {

// "1800" or "1.5": seconds from milliseconds, without trailing zeros.
std::string seconds(uint32_t ms) {
    std::string text = std::to_string(ms / 1000);
    if (const uint32_t rest = ms % 1000) {
        std::string fraction = std::to_string(rest);
        fraction.insert(0, 3 - fraction.size(), '0');
        while (fraction.back() == '0') fraction.pop_back();
        text += "." + fraction;
    } else {
        text += ".0";
    }
    return text;
}

std::string hexColor(std::optional<TRgbColor> color) {
    const TRgbColor c = color.value_or(TRgbColor{});
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text = "#";
    for (uint8_t part : {c.Red, c.Green, c.Blue}) {
        text += kDigits[part >> 4];
        text += kDigits[part & 0x0F];
    }
    return text;
}

bool allowedInXml(char32_t c) {
    return c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || c >= 0x10000;
}

std::string element(const char* indent, const char* name, const std::string& content) {
    return std::string(indent) + "<" + name + ">" + content + "</" + name + ">\n";
}

}  // namespace

const char16_t kSlideshowFileName[] = u"pelmora-slideshow.xml";

const char* BackgroundOptionsName(std::optional<TWallpaperPlacement> placement) {
    switch (placement.value_or(TWallpaperPlacement::wpFill)) {
        case TWallpaperPlacement::wpCenter:
            return "centered";
        case TWallpaperPlacement::wpTile:
            return "wallpaper";
        case TWallpaperPlacement::wpStretch:
            return "stretched";
        case TWallpaperPlacement::wpFit:
            return "scaled";
        case TWallpaperPlacement::wpSpan:
            return "spanned";
        case TWallpaperPlacement::wpFill:
            break;
    }
    return "zoom";
}

std::string XmlEscaped(std::u16string_view text) {
    std::u16string clean;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            clean += c;
            clean += text[++i];
        } else if (isHighSurrogate(c) || isLowSurrogate(c) || !allowedInXml(c)) {
            clean += char16_t(0xFFFD);
        } else {
            clean += c;
        }
    }
    std::string out;
    for (char c : utf16ToUtf8(clean)) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string BackgroundPropertiesXml(std::u16string_view name, std::u16string_view file,
                                    std::optional<TWallpaperPlacement> placement,
                                    std::optional<TRgbColor> color) {
    const std::string shade = hexColor(color);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE wallpapers SYSTEM \"gnome-wp-list.dtd\">\n"
           "<!-- Written by pelmora-extract for a theme pack; the next run replaces it. -->\n"
           "<wallpapers>\n"
           "  <wallpaper deleted=\"false\">\n" +
           element("    ", "name", XmlEscaped(name)) +
           element("    ", "filename", XmlEscaped(file)) +
           element("    ", "options", BackgroundOptionsName(placement)) +
           element("    ", "shade_type", "solid") + element("    ", "pcolor", shade) +
           element("    ", "scolor", shade) +
           "  </wallpaper>\n"
           "</wallpapers>\n";
}

std::string SlideshowXml(const std::vector<std::u16string>& pictures,
                         std::optional<uint32_t> intervalMs) {
    const uint32_t interval = intervalMs && *intervalMs > 0 ? *intervalMs : kDefaultSlideIntervalMs;
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!-- Written by pelmora-extract for a theme pack; the next run replaces it. -->\n"
        "<background>\n"
        "  <starttime>\n"
        "    <year>2000</year>\n    <month>1</month>\n    <day>1</day>\n"
        "    <hour>0</hour>\n    <minute>0</minute>\n    <second>0</second>\n"
        "  </starttime>\n";
    for (size_t i = 0; i < pictures.size(); ++i) {
        const std::string file = XmlEscaped(pictures[i]);
        const std::string next = XmlEscaped(pictures[(i + 1) % pictures.size()]);
        xml += "  <static>\n" + element("    ", "duration", seconds(interval)) +
               element("    ", "file", file) + "  </static>\n";
        xml += "  <transition type=\"overlay\">\n" +
               element("    ", "duration", seconds(kSlideFadeMs)) + element("    ", "from", file) +
               element("    ", "to", next) + "  </transition>\n";
    }
    return xml + "</background>\n";
}

std::u16string BackgroundPropertiesFolder() {
    const std::u16string dataHome = ReadEnvironment(u"XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored, as desktops do, falling back to HOME.
    if (!dataHome.empty() && dataHome.front() == u'/') {
        return dataHome + u"/gnome-background-properties";
    }
    const std::u16string home = ReadEnvironment(u"HOME");
    if (home.empty()) return {};
    return home + u"/.local/share/gnome-background-properties";
}

std::u16string BackgroundPropertiesFileName(std::u16string_view themeName) {
    // A theme file can name its theme at any length; a file name cannot be that long.
    constexpr size_t kLongestName = 100;
    if (themeName.size() > kLongestName) {
        themeName = themeName.substr(
            0, kLongestName - (isHighSurrogate(themeName[kLongestName - 1]) ? 1 : 0));
    }
    std::u16string name;
    for (char16_t c : themeName) {
        const bool unfit = c < 0x20 || c == 0x7F ||
                           std::u16string_view(u"/\\:*?\"<>|").find(c) != std::u16string_view::npos;
        name += unfit ? u'_' : c;
    }
    return u"pelmora-" + name + u".xml";
}

void ReplaceFileWith(const std::u16string& path, const std::string& text) {
    pelmora::PendingOutputFile file(path);
    if (file.Stream().Write(text.data(), static_cast<int32_t>(text.size())) !=
        static_cast<int32_t>(text.size())) {
        file.Discard();
        throw std::runtime_error("cannot write " + utf16ToUtf8(path));
    }
    // No stamp of its own: the file carries the time it was written.
    file.Commit(0, 0, 0);
}
