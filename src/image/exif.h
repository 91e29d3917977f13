#pragma once

#include <string_view>

namespace mirvane::image {

// The EXIF orientation (1 to 8) that a JPEG's Exif segment or a TIFF's first
// directory records; 1 when there is none or it cannot be read. Reads only within
// `bytes`, whatever they hold.
int ExifOrientation(std::string_view bytes);

}  // namespace mirvane::image
