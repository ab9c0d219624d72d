#include "app/system_folders.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "spotlight/spotlight_harvest.h"

namespace {

// The one Spotlight cache Windows has: below LOCALAPPDATA, whatever the mount table.
std::u16string SpotlightSourceFolder() {
    const auto caches = FindSpotlightCaches(u"");
    return caches.size() == 1 ? caches.front() : u"";  // none or several: the case fails
}

struct FolderCase {
    const char* label;
    const char* variable;  // the environment variable the folder starts from
    const char* value;     // its value; null: unset
    std::u16string (*folder)();
    std::u16string expected;
};

class SystemFoldersTest : public ::testing::TestWithParam<FolderCase> {
protected:
    void TearDown() override { _putenv_s(GetParam().variable, ""); }
};

TEST_P(SystemFoldersTest, FolderIsTheVariableFollowedByItsSuffix) {
    const FolderCase& c = GetParam();
    _putenv_s(c.variable, c.value ? c.value : "");  // an empty value removes the variable
    EXPECT_EQ(c.folder(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SystemFoldersTest,
    ::testing::Values(FolderCase{"Themes", "localappdata", "C:\\Users\\Ann\\AppData\\Local",
                                 ThemesFolder,
                                 u"C:\\Users\\Ann\\AppData\\Local\\Microsoft\\Windows\\Themes"},
                      FolderCase{"ThemesWithoutVariable", "localappdata", nullptr, ThemesFolder,
                                 u"\\Microsoft\\Windows\\Themes"},
                      FolderCase{"Wallpaper", "WINDIR", "D:\\Windows", WallpaperFolder,
                                 u"D:\\Windows\\Web\\Wallpaper"},
                      FolderCase{"WallpaperWithoutVariable", "WINDIR", nullptr, WallpaperFolder,
                                 u"\\Web\\Wallpaper"},
                      FolderCase{"SpotlightResult", "USERPROFILE", "C:\\Users\\Ann",
                                 SpotlightResultFolder, u"C:\\Users\\Ann\\Pictures\\Spotlight"},
                      // Windows compares variable names without regard to case.
                      FolderCase{"SpotlightSource", "localAppData", "E:\\Local",
                                 SpotlightSourceFolder,
                                 u"E:\\Local\\Packages\\Microsoft.Windows.ContentDeliveryManager_"
                                 u"cw5n1h2txyewy\\LocalState\\Assets"}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
