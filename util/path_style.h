// The two conventions for disk paths: Windows ("\" separates folders, ":" ends a drive name)
// and POSIX ("/" separates folders, no drives). Code that takes paths apart is written for
// both so that each can be tested on any host; the native one is what the program uses.
#pragma once

#include <cstdint>

enum class PathStyle : uint8_t { Windows, Posix };

#ifdef _WIN32
inline constexpr PathStyle NativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle NativePathStyle = PathStyle::Posix;
#endif

constexpr char16_t pathSeparator(PathStyle style) {
    return style == PathStyle::Windows ? u'\\' : u'/';
}
