// pelmora-extract and the theme inside each pack: bulk runs into one folder, packs with
// nothing to extract, listings headed by the theme's name, desktop background files (checked
// and read back with a real XML parser), and the Spotlight harvest from the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "support/pack_fixture.h"

namespace {

namespace fs = std::filesystem;
using clitest::filesUnder;
using clitest::makePack;
using clitest::quoted;
using clitest::readFile;
using clitest::runExtract;
using clitest::ScratchFolder;
using clitest::writeFile;

// The output of a command, and whether it ended with status 0.
std::pair<bool, std::string> commandOutput(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return {false, output};
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    return {pclose(pipe) == 0, output};
}

bool wellFormedXml(const fs::path& file) {
    return commandOutput("xmllint --noout " + quoted(file) + " 2>&1").first;
}

// What an XPath expression gives in file, read by xmllint.
std::string xpath(const fs::path& file, const std::string& expression) {
    std::string value =
        commandOutput("xmllint --xpath " + quoted(expression) + " " + quoted(file) + " 2>/dev/null")
            .second;
    if (value.ends_with('\n')) value.pop_back();
    return value;
}

std::vector<std::string> xpathList(const fs::path& file, const std::string& nodes, size_t count) {
    std::vector<std::string> values;
    for (size_t i = 1; i <= count; ++i) {
        values.push_back(xpath(file, "string((" + nodes + ")[" + std::to_string(i) + "])"));
    }
    return values;
}

TEST(ThemeAware, BulkRunGivesEachPackItsOwnFolderInsideTheTarget) {
    ScratchFolder scratch;
    // Windows names every pack's pictures alike: img1.jpg, img2.jpg...
    makePack(scratch / "Autumn.themepack", {{"Autumn.theme", "[Theme]\nDisplayName=Autumn\n"},
                                            {"DesktopBackground/img1.jpg", "autumn one"},
                                            {"DesktopBackground/img2.jpg", "autumn two"}});
    makePack(scratch / "Winter.deskthemepack", {{"DesktopBackground/img1.jpg", "winter one"}});
    // The same pack name from another place.
    makePack(scratch / "more" / "Autumn.themepack", {{"img1.jpg", "other autumn"}});

    const auto result = runExtract(
        {"-d", "out/walls", "Autumn.themepack", "Winter.deskthemepack", "more/Autumn.themepack"},
        scratch.path());

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(filesUnder(scratch / "out/walls"),
              (std::vector<std::string>{"Autumn (2)/img1.jpg", "Autumn/img1.jpg", "Autumn/img2.jpg",
                                        "Winter/img1.jpg"}));
    EXPECT_EQ(readFile(scratch / "out/walls/Autumn/img1.jpg"), "autumn one");
    EXPECT_EQ(readFile(scratch / "out/walls/Winter/img1.jpg"), "winter one");
    EXPECT_EQ(readFile(scratch / "out/walls/Autumn (2)/img1.jpg"), "other autumn");
    EXPECT_EQ(result.out,
              "Autumn.themepack: 2 members extracted into out/walls/Autumn\n"
              "Winter.deskthemepack: 1 member extracted into out/walls/Winter\n"
              "more/Autumn.themepack: 1 member extracted into out/walls/Autumn (2)\n");
}

TEST(ThemeAware, APackWithoutPicturesSaysSoAndLeavesNoFolder) {
    ScratchFolder scratch;
    makePack(scratch / "Feed.themepack",
             {{"Feed.theme",
               "[Theme]\nDisplayName=Feed\n[Slideshow]\nRSSFeed=http://example.com/a.rss\n"}});
    makePack(scratch / "Good.themepack", {{"g.jpg", "good"}});

    for (const std::vector<std::string>& target :
         {std::vector<std::string>{}, std::vector<std::string>{"-d", "new/out"}}) {
        std::vector<std::string> args = target;
        args.insert(args.end(), {"Feed.themepack", "Good.themepack"});
        const auto result = runExtract(args, scratch.path());
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err,
                  "pelmora-extract: Feed.themepack: the pack has no pictures; nothing extracted "
                  "(its slideshow comes from http://example.com/a.rss)\n");
        EXPECT_FALSE(fs::exists(scratch / "Feed"));
        EXPECT_FALSE(fs::exists(scratch / "new/out/Feed"));
    }
    EXPECT_EQ(readFile(scratch / "Good/g.jpg"), "good");
    EXPECT_EQ(readFile(scratch / "new/out/Good/g.jpg"), "good");
}

TEST(ThemeAware, AFolderThatGotNothingIsNotLeftBehind) {
    ScratchFolder scratch;
    makePack(scratch / "Pack.themepack", {{"one/blocked.jpg", "cannot land"}});
    // A folder where the member's file should go, inside a pack folder that already exists:
    // the existing folder is the user's and stays.
    fs::create_directories(scratch / "Pack" / "blocked.jpg" / "inside");
    EXPECT_EQ(runExtract({"Pack.themepack"}, scratch.path()).status, 1);
    EXPECT_TRUE(fs::is_directory(scratch / "Pack" / "blocked.jpg" / "inside"));

    // A member that may not be written (its stored path leads out of the pack's folder) in a
    // folder this run makes: the run's own folder, left empty, goes again.
    makePack(scratch / "Evil.themepack", {{"../evil.jpg", "outside"}});
    const auto result = runExtract({"-p", "-d", "out", "Evil.themepack"}, scratch.path());
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(fs::is_directory(scratch / "out")) << "the target given stays";
    EXPECT_FALSE(fs::exists(scratch / "out/Evil"));
    EXPECT_FALSE(fs::exists(scratch / "out/evil.jpg"));
}

TEST(ThemeAware, ListingsStartWithTheThemeName) {
    ScratchFolder scratch;
    // UTF-16 as Windows writes it, with the name as a resource and in UTF-7.
    std::string theme = "\xFF\xFE";
    for (char c : std::string("[Theme]\r\nDisplayName=@themeui.dll,-2013\r\n"
                              "[Theme.W]\r\nDisplayName=+BB4EQQQ1BD0ETA-\r\n")) {
        theme += c;
        theme += '\0';
    }
    makePack(scratch / "Autumn.themepack", {{"Autumn.theme", theme}, {"a.jpg", "x"}});
    makePack(scratch / "Plain.themepack", {{"b.jpg", "y"}});

    const auto result = runExtract({"-l", "Autumn.themepack", "Plain.themepack"}, scratch.path());

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("Autumn.themepack: Осень\n")) << result.out;
    EXPECT_NE(result.out.find("\nPlain.themepack: Plain\n"), std::string::npos) << result.out;
}

// A theme's name is the pack's text: control characters in it are shown escaped, never sent
// to the terminal.
TEST(ThemeAware, ListingsEscapeControlCharactersInTheThemeName) {
    ScratchFolder scratch;
    makePack(scratch / "Evil.themepack", {{"Evil.theme",
                                           "[Theme]\nDisplayName=\x1b]0;owned\x07"
                                           "Evil\n"},
                                          {"a.jpg", "x"}});

    const auto result = runExtract({"-l", "Evil.themepack"}, scratch.path());

    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_TRUE(result.out.starts_with("Evil.themepack: \\x1b]0;owned\\x07Evil\n")) << result.out;
    EXPECT_EQ(result.out.find('\x1b'), std::string::npos);
}

const std::string kSlideshowTheme =
    "[Theme]\r\nDisplayName=Rock & <Roll> \"'\r\n"
    "[Control Panel\\Desktop]\r\nWallpaper=DesktopBackground\\b.jpg\r\nPicturePosition=3\r\n"
    "[Control Panel\\Colors]\r\nBackground=0 99 177\r\n"
    "[Slideshow]\r\nInterval=90500\r\nShuffle=1\r\nImagesRootPath=DesktopBackground\r\n";

TEST(ThemeAware, BackgroundsRegisterASlideshowOfThePictures) {
    ScratchFolder scratch;
    makePack(scratch / "Rock.themepack", {{"Rock.theme", kSlideshowTheme},
                                          {"DesktopBackground/a.jpg", "first"},
                                          {"DesktopBackground/b.jpg", "second"},
                                          {"DesktopBackground/c & d.png", "third"},
                                          {"DesktopBackground/extra/z.jpg", "not in the show"}});
    const fs::path data = scratch / "data";
    const fs::path list = data / "gnome-background-properties";
    // A background of the user's own, which no run may touch.
    writeFile(list / "mine.xml", "<wallpapers/>");

    for (int run = 1; run <= 2; ++run) {
        const auto result = runExtract({"-b", "-d", "walls", "Rock.themepack"}, scratch.path(),
                                       {"XDG_DATA_HOME=" + data.string()});
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(filesUnder(list),
                  (std::vector<std::string>{"mine.xml", "pelmora-Rock & _Roll_ _'.xml"}));
        EXPECT_EQ(readFile(list / "mine.xml"), "<wallpapers/>");

        const fs::path entry = list / "pelmora-Rock & _Roll_ _'.xml";
        ASSERT_TRUE(wellFormedXml(entry)) << readFile(entry);
        EXPECT_EQ(xpath(entry, "string(//wallpaper/name)"), "Rock & <Roll> \"'");
        EXPECT_EQ(xpath(entry, "string(//wallpaper/options)"), "scaled");
        EXPECT_EQ(xpath(entry, "string(//wallpaper/pcolor)"), "#0063b1");
        const fs::path show = xpath(entry, "string(//wallpaper/filename)");
        EXPECT_EQ(show, fs::canonical(scratch / "walls/Rock/pelmora-slideshow.xml"));

        ASSERT_TRUE(wellFormedXml(show)) << readFile(show);
        const fs::path folder = fs::canonical(scratch / "walls/Rock");
        const std::vector<std::string> pictures{folder / "a.jpg", folder / "b.jpg",
                                                folder / "c & d.png"};
        EXPECT_EQ(xpath(show, "count(//static)"), "3");
        EXPECT_EQ(xpathList(show, "//static/file", 3), pictures);
        for (const auto& picture : pictures) EXPECT_TRUE(fs::exists(picture)) << picture;
        EXPECT_EQ(xpathList(show, "//static/duration", 3),
                  (std::vector<std::string>{"90.5", "90.5", "90.5"}));
        // Cross-fades from each picture to the next, and from the last back to the first.
        EXPECT_EQ(xpath(show, "count(//transition[@type='overlay'])"), "3");
        EXPECT_EQ(xpathList(show, "//transition/from", 3), pictures);
        EXPECT_EQ(xpathList(show, "//transition/to", 3),
                  (std::vector<std::string>{pictures[1], pictures[2], pictures[0]}));
        EXPECT_EQ(xpath(show, "string(//transition/duration)"), "2.0");
    }
}

struct ShowCase {
    const char* title;
    std::string theme;
    std::vector<std::string> show;  // the pictures of the slideshow file, in order
};

class SlideshowOrder : public ::testing::TestWithParam<ShowCase> {};

TEST_P(SlideshowOrder, FollowsTheTheme) {
    const ShowCase& c = GetParam();
    ScratchFolder scratch;
    makePack(scratch / "Show.themepack", {{"Show.theme", c.theme},
                                          {"DesktopBackground/a.jpg", "a"},
                                          {"DesktopBackground/b.jpg", "b"},
                                          {"Other/c.png", "c"}});
    const auto result = runExtract({"-qb", "Show.themepack"}, scratch.path(),
                                   {"XDG_DATA_HOME=" + (scratch / "data").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const fs::path show = scratch / "Show/pelmora-slideshow.xml";
    ASSERT_TRUE(wellFormedXml(show)) << readFile(show);
    std::vector<std::string> expected;
    for (const auto& name : c.show) expected.push_back(fs::canonical(scratch / "Show" / name));
    EXPECT_EQ(xpath(show, "count(//static)"), std::to_string(expected.size()));
    EXPECT_EQ(xpathList(show, "//static/file", expected.size()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Themes, SlideshowOrder,
    ::testing::Values(
        ShowCase{"ItemPaths",
                 "[Slideshow]\nItem1Path=Other\\c.png\nItem0Path=DesktopBackground\\b.jpg\n"
                 "Item2Path=DesktopBackground\\missing.jpg\n",
                 {"b.jpg", "c.png"}},
        ShowCase{"RootUnderThemeFolder",
                 "[Slideshow]\nImagesRootPath=%ThemeDir%\\desktopbackground\\\n",
                 {"a.jpg", "b.jpg"}},
        ShowCase{"NoShow", "[Theme]\nDisplayName=Show\n", {"a.jpg", "b.jpg", "c.png"}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(ThemeAware, BackgroundsRegisterASinglePictureItself) {
    ScratchFolder scratch;
    makePack(scratch / "One.themepack",
             {{"One.theme", "[Control Panel\\Desktop]\nWallpaperStyle=0\nTileWallpaper=1\n"},
              {"DesktopBackground/only.jpg", "alone"}});
    const fs::path home = scratch / "home";

    // Without XDG_DATA_HOME, the list lies in the home folder's data.
    const auto result = runExtract({"-qb", "One.themepack"}, scratch.path(),
                                   {"-XDG_DATA_HOME", "HOME=" + home.string()});

    ASSERT_EQ(result.status, 0) << result.err;
    const fs::path entry = home / ".local/share/gnome-background-properties/pelmora-One.xml";
    ASSERT_TRUE(wellFormedXml(entry)) << readFile(entry);
    EXPECT_EQ(xpath(entry, "string(//wallpaper/name)"), "One");
    EXPECT_EQ(xpath(entry, "string(//wallpaper/filename)"),
              (fs::canonical(scratch / "One/only.jpg")).string());
    EXPECT_EQ(xpath(entry, "string(//wallpaper/options)"), "wallpaper");
    EXPECT_EQ(xpath(entry, "string(//wallpaper/pcolor)"), "#000000");
    EXPECT_FALSE(fs::exists(scratch / "One/pelmora-slideshow.xml"));
}

TEST(ThemeAware, ABackgroundListThatCannotBeWrittenFailsThePackAndKeepsThePictures) {
    ScratchFolder scratch;
    makePack(scratch / "Pack.themepack", {{"a.jpg", "x"}});
    writeFile(scratch / "data", "a file where the data folder should be");
    const auto result = runExtract({"-b", "Pack.themepack"}, scratch.path(),
                                   {"XDG_DATA_HOME=" + (scratch / "data").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(
        result.err.starts_with("pelmora-extract: Pack.themepack: cannot register the background: "))
        << result.err;
    EXPECT_EQ(readFile(scratch / "Pack/a.jpg"), "x");
}

// A JPEG header of the given width, padded to size bytes.
std::string jpegOfWidth(int width, size_t size) {
    std::string bytes("\xFF\xD8\xFF\xC0\x00\x11\x08\x04\x38", 9);
    bytes += static_cast<char>(width >> 8);
    bytes += static_cast<char>(width & 0xFF);
    bytes.resize(size, '\x01');
    return bytes;
}

TEST(ThemeAware, SpotlightHarvestsTheCacheAndCountsPerFolder) {
    ScratchFolder scratch;
    const fs::path local = scratch / "Local";
    const fs::path cache =
        local / "Packages/Microsoft.Windows.ContentDeliveryManager_cw5n1h2txyewy/LocalState/Assets";
    writeFile(cache / "wide1", jpegOfWidth(1920, 150'000));
    writeFile(cache / "wide2", jpegOfWidth(1920, 102'400));
    writeFile(cache / "tall", jpegOfWidth(1080, 130'000));
    writeFile(cache / "other", jpegOfWidth(1366, 130'000));
    writeFile(cache / "small", jpegOfWidth(1920, 102'399));
    const fs::path profile = scratch / "profile";

    const auto result =
        runExtract({"--spotlight"}, scratch.path(),
                   {"LOCALAPPDATA=" + local.string(), "USERPROFILE=" + profile.string()});

    ASSERT_EQ(result.status, 0) << result.err;
    const fs::path spotlight = profile / "Pictures/Spotlight";
    EXPECT_EQ(filesUnder(spotlight),
              (std::vector<std::string>{"Horizontal/wide1.jpg", "Horizontal/wide2.jpg",
                                        "Vertical/tall.jpg"}));
    EXPECT_EQ(result.out, cache.string() + ": 4 large files, 2 landscape, 1 portrait\n" +
                              (spotlight / "Horizontal").string() + ": 2 pictures harvested\n" +
                              (spotlight / "Vertical").string() + ": 1 picture harvested\n");
}

TEST(ThemeAware, SpotlightWithoutACacheSaysSo) {
    ScratchFolder scratch;
    const auto result = runExtract({"--spotlight"}, scratch.path(),
                                   {"LOCALAPPDATA=" + (scratch / "nothing").string(),
                                    "USERPROFILE=" + (scratch / "profile").string()});
    EXPECT_EQ(result.status, 1);
    EXPECT_TRUE(result.err.starts_with("pelmora-extract: no Windows Spotlight cache found"))
        << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(scratch / "profile"));
}

}  // namespace
