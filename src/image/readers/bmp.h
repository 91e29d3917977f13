#pragma once

#include <string_view>

#include "image/picture.h"

namespace mirvane::image {

// Windows and OS/2 bitmaps of every variant the bmpsuite holds as good: 1, 2, 4, 8 bits
// with a palette (short palettes too), RLE4 and RLE8 (with deltas; skipped pixels
// transparent), 16, 24 and 32 bits with and without bit fields (any masks, alpha when a
// mask gives it), top-down and bottom-up rows, the V4 and V5 headers (an embedded profile
// in `icc`). Throws Error; refuses pictures over budget before allocating.
Picture ReadBmp(std::string_view bytes);

// A Windows icon or cursor: its largest (then deepest) image, BMP-coded (the AND mask
// as transparency) or PNG-coded.
Picture ReadIco(std::string_view bytes);

}  // namespace mirvane::image
