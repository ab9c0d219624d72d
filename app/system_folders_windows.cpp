// Windows: the environment gives each folder's root; an unset variable leaves the suffix
// alone, relative to the current drive's root.
#include "app/system_folders.h"
#include "util/environment.h"

std::u16string ThemesFolder() {
    return ReadEnvironment(u"localappdata") + u"\\Microsoft\\Windows\\Themes";
}

std::u16string WallpaperFolder() {
    return ReadEnvironment(u"WINDIR") + u"\\Web\\Wallpaper";
}
