// The theme-file reader over a table of files as Windows writes them, older and odd ones,
// and hostile ones that must give the defaults.
#include "archive/components/theme_file.h"

#include <gtest/gtest.h>

#include "util/utf16_text.h"

namespace {

using P = TWallpaperPlacement;

// The bytes of text as UTF-16LE with its byte-order mark.
std::string utf16LeWithBom(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

struct ThemeCase {
    const char* title = "";
    std::string bytes{};
    std::u16string name{};  // with the pack "/packs/Pack.themepack"
    std::u16string wallpaper{};
    std::optional<P> placement{};
    std::optional<TRgbColor> background{};
    bool slideshow = false;
    std::optional<uint32_t> interval{};
    bool shuffle = false;
    std::u16string imagesRoot{};
    std::vector<std::u16string> items{};
    std::u16string rss{};
};

class ReadThemeFileTest : public ::testing::TestWithParam<ThemeCase> {};

TEST_P(ReadThemeFileTest, ReadsWhatTheFileSays) {
    const ThemeCase& c = GetParam();
    const TThemeFile theme = ReadThemeFile(c.bytes);
    EXPECT_EQ(utf16ToUtf8(ThemeName(theme, u"/packs/Pack.themepack")), utf16ToUtf8(c.name));
    EXPECT_EQ(utf16ToUtf8(theme.Wallpaper), utf16ToUtf8(c.wallpaper));
    EXPECT_EQ(theme.Placement, c.placement);
    EXPECT_EQ(theme.Background, c.background);
    EXPECT_EQ(theme.Slideshow.Present, c.slideshow);
    EXPECT_EQ(theme.Slideshow.IntervalMs, c.interval);
    EXPECT_EQ(theme.Slideshow.Shuffle, c.shuffle);
    EXPECT_EQ(theme.Slideshow.ImagesRootPath, c.imagesRoot);
    EXPECT_EQ(theme.Slideshow.ItemPaths, c.items);
    EXPECT_EQ(theme.Slideshow.RssFeed, c.rss);
}

const std::string kWindowsTheme =
    "; Copyright (c) Microsoft Corp.\r\n"
    "\r\n"
    "[Theme]\r\n"
    "DisplayName=Autumn\r\n"
    "\r\n"
    "[Control Panel\\Desktop]\r\n"
    "Wallpaper=DesktopBackground\\img1.jpg\r\n"
    "TileWallpaper=0\r\n"
    "WallpaperStyle=10\r\n"
    "Pattern=\r\n"
    "PicturePosition=3\r\n"
    "\r\n"
    "[Control Panel\\Colors]\r\n"
    "Background=0 99 177\r\n"
    "\r\n"
    "[Slideshow]\r\n"
    "Interval=1800000\r\n"
    "Shuffle=1\r\n"
    "ImagesRootPath=DesktopBackground\r\n";

INSTANTIATE_TEST_SUITE_P(
    Files, ReadThemeFileTest,
    ::testing::Values(
        ThemeCase{.title = "WindowsWritten",
                  .bytes = kWindowsTheme,
                  .name = u"Autumn",
                  .wallpaper = u"DesktopBackground\\img1.jpg",
                  .placement = P::wpFit,
                  .background = TRgbColor{0, 99, 177},
                  .slideshow = true,
                  .interval = 1800000,
                  .shuffle = true,
                  .imagesRoot = u"DesktopBackground"},
        ThemeCase{.title = "Utf16LeWithBom",
                  .bytes = utf16LeWithBom(utf8ToUtf16(kWindowsTheme)),
                  .name = u"Autumn",
                  .wallpaper = u"DesktopBackground\\img1.jpg",
                  .placement = P::wpFit,
                  .background = TRgbColor{0, 99, 177},
                  .slideshow = true,
                  .interval = 1800000,
                  .shuffle = true,
                  .imagesRoot = u"DesktopBackground"},
        ThemeCase{.title = "Utf16LeNonAscii",
                  .bytes = utf16LeWithBom(u"[Theme]\r\nDisplayName=Ősz 秋\r\n"),
                  .name = u"Ősz 秋"},
        ThemeCase{.title = "Utf8WithBom",
                  .bytes = "\xEF\xBB\xBF[Theme]\nDisplayName=Été\n",
                  .name = u"Été"},
        ThemeCase{.title = "Utf8WithoutBom", .bytes = "[Theme]\nDisplayName=Été\n", .name = u"Été"},
        // Not valid UTF-8: the western code page (E9 is é, 80 is the euro sign).
        ThemeCase{.title = "Windows1252",
                  .bytes = "[Theme]\nDisplayName=\xC9t\xE9 \x80\n",
                  .name = u"Été €"},
        ThemeCase{.title = "Windows1252AfterBom",
                  .bytes = "\xEF\xBB\xBF[Theme]\nDisplayName=caf\xE9\n",
                  .name = u"café"},
        // Names and keys in any letter case, blanks around them, LF or CR alone.
        ThemeCase{.title = "CaseAndBlanks",
                  .bytes = "[theme]\r  displayname  =  Winter  \r[CONTROL PANEL\\DESKTOP]\r"
                           "wallpaper=a.jpg",
                  .name = u"Winter",
                  .wallpaper = u"a.jpg"},
        ThemeCase{.title = "QuotedValue",
                  .bytes = "[Theme]\nDisplayName=\"Spring\"\n",
                  .name = u"Spring"},
        ThemeCase{.title = "CommentedOut",
                  .bytes = "[Theme]\n;DisplayName=Hidden\n  ; DisplayName=Also\n",
                  .name = u"Pack"},
        ThemeCase{.title = "FirstKeyWins",
                  .bytes = "[Theme]\nDisplayName=First\nDisplayName=Second\n",
                  .name = u"First"},
        // Resource references and empty names fall through to the ".W" name in UTF-7.
        ThemeCase{.title = "ResourceThenUtf7",
                  .bytes = "[Theme]\nDisplayName=@%SystemRoot%\\System32\\themeui.dll,-2013\n"
                           "[Theme.W]\nDisplayName=+BB4EQQQ1BD0ETA-\n",
                  .name = u"Осень"},
        ThemeCase{.title = "EmptyThenUtf7",
                  .bytes = "[Theme]\nDisplayName=\n[Theme.W]\nDisplayName=Caf+AOk-\n",
                  .name = u"Café"},
        ThemeCase{.title = "PlainNameWinsOverUtf7",
                  .bytes = "[Theme.W]\nDisplayName=+BB4EQQQ1BD0ETA-\n[Theme]\nDisplayName=Autumn\n",
                  .name = u"Autumn"},
        ThemeCase{.title = "ResourceBothWays",
                  .bytes = "[Theme]\nDisplayName=@themeui.dll,-2013\n"
                           "[Theme.W]\nDisplayName=+AEA-themeui.dll,-2013\n",
                  .name = u"Pack"},
        ThemeCase{.title = "BrokenUtf7",
                  .bytes = "[Theme]\nDisplayName=@x\n[Theme.W]\nDisplayName=+AKN-\n",
                  .name = u"Pack"},
        // The ".W" wallpaper keeps what the code page could not.
        ThemeCase{.title = "WideWallpaper",
                  .bytes = "[Control Panel\\Desktop]\nWallpaper=DesktopBackground\\?????.jpg\n"
                           "[Control Panel\\Desktop.W]\n"
                           "Wallpaper=DesktopBackground\\+BB4EQQQ1BD0ETA-.jpg\n",
                  .name = u"Pack",
                  .wallpaper = u"DesktopBackground\\Осень.jpg"},
        ThemeCase{.title = "BrokenWideWallpaper",
                  .bytes = "[Control Panel\\Desktop]\nWallpaper=DesktopBackground\\a.jpg\n"
                           "[Control Panel\\Desktop.W]\nWallpaper=+2D0-.jpg\n",
                  .name = u"Pack",
                  .wallpaper = u"DesktopBackground\\a.jpg"},
        // Placement: PicturePosition first, then the older style pair.
        ThemeCase{.title = "Centre",
                  .bytes = "[Control Panel\\Desktop]\nPicturePosition=0\n",
                  .name = u"Pack",
                  .placement = P::wpCenter},
        ThemeCase{.title = "Span",
                  .bytes = "[Control Panel\\Desktop]\nPicturePosition=5\n",
                  .name = u"Pack",
                  .placement = P::wpSpan},
        ThemeCase{.title = "PositionOutOfRange",
                  .bytes = "[Control Panel\\Desktop]\nPicturePosition=9\nWallpaperStyle=2\n",
                  .name = u"Pack",
                  .placement = P::wpStretch},
        ThemeCase{.title = "OldTile",
                  .bytes = "[Control Panel\\Desktop]\nWallpaperStyle=0\nTileWallpaper=1\n",
                  .name = u"Pack",
                  .placement = P::wpTile},
        ThemeCase{.title = "OldCentre",
                  .bytes = "[Control Panel\\Desktop]\nWallpaperStyle=0\nTileWallpaper=0\n",
                  .name = u"Pack",
                  .placement = P::wpCenter},
        ThemeCase{.title = "OldFit",
                  .bytes = "[Control Panel\\Desktop]\nWallpaperStyle=6\n",
                  .name = u"Pack",
                  .placement = P::wpFit},
        ThemeCase{.title = "OldFill",
                  .bytes = "[Control Panel\\Desktop]\nWallpaperStyle=10\n",
                  .name = u"Pack",
                  .placement = P::wpFill},
        ThemeCase{.title = "OldSpan",
                  .bytes = "[Control Panel\\Desktop]\nWallpaperStyle=22\n",
                  .name = u"Pack",
                  .placement = P::wpSpan},
        ThemeCase{.title = "UnknownStyle",
                  .bytes = "[Control Panel\\Desktop]\nWallpaperStyle=7\n",
                  .name = u"Pack"},
        ThemeCase{.title = "NotANumber",
                  .bytes = "[Control Panel\\Desktop]\nPicturePosition=fill\n",
                  .name = u"Pack"},
        // Colours: three numbers 0 to 255, nothing else.
        ThemeCase{.title = "ColourBlanks",
                  .bytes = "[Control Panel\\Colors]\nBackground= 255\t0  7 \n",
                  .name = u"Pack",
                  .background = TRgbColor{255, 0, 7}},
        ThemeCase{.title = "ColourTooBig",
                  .bytes = "[Control Panel\\Colors]\nBackground=256 0 0\n",
                  .name = u"Pack"},
        ThemeCase{.title = "ColourTooFew",
                  .bytes = "[Control Panel\\Colors]\nBackground=1 2\n",
                  .name = u"Pack"},
        ThemeCase{.title = "ColourTooMany",
                  .bytes = "[Control Panel\\Colors]\nBackground=1 2 3 4\n",
                  .name = u"Pack"},
        // Slideshow forms.
        ThemeCase{.title = "ItemPathsInNumberOrder",
                  .bytes = "[Slideshow]\nInterval=60000\nShuffle=0\nItem10Path=c.jpg\n"
                           "Item2Path=b.jpg\nitem0path=a.jpg\nItemXPath=x.jpg\nItem3Path=\n",
                  .name = u"Pack",
                  .slideshow = true,
                  .interval = 60000,
                  .items = {u"a.jpg", u"b.jpg", u"c.jpg"}},
        ThemeCase{.title = "RssFeed",
                  .bytes = "[Slideshow]\nInterval=3600000\n"
                           "RSSFeed=http://feeds.example.com/pictures.rss\n",
                  .name = u"Pack",
                  .slideshow = true,
                  .interval = 3600000,
                  .rss = u"http://feeds.example.com/pictures.rss"},
        ThemeCase{.title = "IntervalNotANumber",
                  .bytes = "[Slideshow]\nInterval=-5\n",
                  .name = u"Pack",
                  .slideshow = true},
        ThemeCase{.title = "IntervalTooBig",
                  .bytes = "[Slideshow]\nInterval=99999999999\n",
                  .name = u"Pack",
                  .slideshow = true},
        // Hostile or odd files.
        ThemeCase{.title = "Empty", .bytes = "", .name = u"Pack"},
        ThemeCase{.title = "NoThemeSection",
                  .bytes = "DisplayName=Loose\n[Other]\nDisplayName=Elsewhere\n",
                  .name = u"Pack"},
        ThemeCase{
            .title = "UnclosedSection", .bytes = "[Theme\nDisplayName=Nowhere\n", .name = u"Pack"},
        ThemeCase{.title = "NulBytes",
                  .bytes = std::string("[Theme]\0\nDisplayName=A\0B\n", 25),
                  .name = std::u16string(u"A\0B", 3)},
        ThemeCase{.title = "Utf16OddLength",
                  .bytes = utf16LeWithBom(u"[Theme]\nDisplayName=Odd\n") + "\x41",
                  .name = u"Odd"},
        ThemeCase{.title = "BinaryNoise",
                  .bytes = std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16),
                  .name = u"Pack"},
        ThemeCase{
            .title = "OneHugeLine", .bytes = std::string(10 * 1024 * 1024, '='), .name = u"Pack"}),
    [](const auto& info) { return std::string(info.param.title); });

}  // namespace
