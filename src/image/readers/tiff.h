#pragma once

#include <string_view>

#include "image/picture.h"

namespace mirvane::image {

// libtiff: the first directory, any photometric libtiff's RGBA interface reads (palette,
// bilevel, grey, 16 bits, CMYK with its profile applied, YCbCr, LogLuv...), its ICC profile
// in `icc` and its orientation in `orientation`. Throws Error; refuses pictures over
// budget before allocating.
Picture ReadTiff(std::string_view bytes);

}  // namespace mirvane::image
