// The folders the window's commands open, looked up the platform's way.
#pragma once

#include <string>

// The per-user installed-themes folder.
std::u16string ThemesFolder();
// The system wallpaper folder.
std::u16string WallpaperFolder();
