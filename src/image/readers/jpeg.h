#pragma once

#include <string_view>

#include "image/picture.h"

namespace mirvane::image {

// libjpeg-turbo: baseline and progressive, grey, RGB, YCbCr, CMYK and YCCK. Decoded at the
// smallest DCT scale (1/8 to 1) that still covers CoverSize(full, box); EXIF orientation
// left in `orientation`; the APP2 ICC profile in `icc`, or, for CMYK, applied here with
// Little CMS (Adobe's inverted samples handled) so that `pixels` are sRGB. A file cut short
// is shown as far as it goes. Throws Error; refuses pictures over budget before decoding.
Picture ReadJpeg(std::string_view bytes, Size box);

}  // namespace mirvane::image
