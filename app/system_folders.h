// The folders the window's commands open or harvest, looked up the platform's way.
#pragma once

#include <string>

// The per-user installed-themes folder.
std::u16string ThemesFolder();
// The system wallpaper folder.
std::u16string WallpaperFolder();
// The folder the Spotlight harvest writes into, under the user's Pictures folder.
std::u16string SpotlightResultFolder();
// The Windows Spotlight picture cache of the content delivery manager.
std::u16string SpotlightSourceFolder();
