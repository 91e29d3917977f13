#pragma once

#include <string_view>

#include "image/format.h"

namespace mirvane::image {

// The EXIF orientation (1 to 8) that a JPEG's Exif segment or a TIFF's first
// directory records; 1 when there is none or it cannot be read. Reads only within
// `bytes`, whatever they hold.
int ExifOrientation(std::string_view bytes);

// The EXIF block (a TIFF structure) that a PNG (eXIf chunk) or WebP (EXIF chunk) file
// carries, for ExifOrientation; empty when it has none.
std::string_view FindExif(std::string_view file, Format format);

}  // namespace mirvane::image
