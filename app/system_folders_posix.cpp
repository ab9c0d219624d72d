// POSIX: the Windows variables are honoured where they are set (a Windows-like environment);
// otherwise the desktop's own places stand in for the Windows folders.
#include <sys/stat.h>

#include "app/system_folders.h"
#include "util/environment.h"
#include "util/utf16_text.h"

namespace {

bool isFolder(const std::u16string& path) {
    struct stat info;
    return stat(utf16ToUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::u16string homeFolder() {
    return ReadEnvironment(u"HOME");
}

}  // namespace

std::u16string ThemesFolder() {
    const std::u16string localAppData = ReadEnvironment(u"localappdata");
    if (!localAppData.empty()) return localAppData + u"/Microsoft/Windows/Themes";
    const std::u16string dataHome = ReadEnvironment(u"XDG_DATA_HOME");
    if (!dataHome.empty()) return dataHome + u"/themes";
    return homeFolder() + u"/.local/share/themes";
}

std::u16string WallpaperFolder() {
    const std::u16string windows = ReadEnvironment(u"WINDIR");
    if (!windows.empty()) return windows + u"/Web/Wallpaper";
    for (const char16_t* candidate : {u"/usr/share/backgrounds", u"/usr/share/wallpapers"}) {
        if (isFolder(candidate)) return candidate;
    }
    // Neither exists: the file manager gets the usual place and says what it says.
    return u"/usr/share/backgrounds";
}
