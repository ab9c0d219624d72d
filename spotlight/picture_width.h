// The width of a picture, read from its header only, so that a cache of large pictures can
// be sorted without decoding them.
#pragma once

#include <filesystem>

// The width in pixels of a JPEG or PNG file, or -1 when the file is neither (or its header
// is damaged). The content decides, never the name.
int PictureWidth(const std::filesystem::path& file);
