#pragma once

#include <tiffio.h>

#include <cstdint>
#include <string_view>

#include "image/pixels.h"

namespace mirvane::image {

// Reads the current directory sample by sample: any integer depth from 1 to 32 bits,
// 16/24/32/64-bit floats, grey, RGB or CMYK, strips or tiles, contiguous or planar, an
// alpha sample kept straight. For what libtiff's RGBA interface refuses or draws wrongly,
// and for CMYK, which comes out in sRGB through the profile `icc` when it is a usable CMYK
// one. `w` x `h` must be within budget. Throws Error.
Pixels ReadTiffSamples(TIFF* tif, std::uint32_t w, std::uint32_t h, std::string_view icc);

}  // namespace mirvane::image
