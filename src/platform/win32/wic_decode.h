#pragma once

#include <wincodec.h>

#include <functional>
#include <string>
#include <string_view>

#include "image/fit.h"
#include "platform/win32/bitmap.h"

namespace mirvane::platform::win32 {

struct Decoded {
  Bitmap image;      // fitted to the box asked for, upright (EXIF orientation applied)
  image::Size full;  // the picture's own size, upright
};

// Decodes the picture in `bytes` (format told by content: our own PCX reader, else
// any WIC codec the system has) fitted into `box`, at reduced size where the codec
// offers it. Throws platform::Error when nothing can draw it or it is over budget.
Decoded Decode(IWICImagingFactory& factory, std::string_view bytes, image::Size box);

// The box to fit into, chosen once the picture's upright size is known.
using BoxFor = std::function<image::Size(image::Size upright)>;
// The same, with the box chosen from the picture's upright size.
Decoded Decode(IWICImagingFactory& factory, std::string_view bytes, const BoxFor& box_for);

// `bitmap` scaled smoothly to `size` (area average down, bilinear up); the bitmap itself
// when there is no memory for it.
Bitmap ScaledTo(const Bitmap& bitmap, image::Size size);

}  // namespace mirvane::platform::win32
