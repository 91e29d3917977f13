#pragma once

#include <string_view>

#include "image/pixels.h"

namespace mirvane::image {

// The portable bitmap, grey map and pixmap (P1 to P6, any maximum value up to 65535), at
// full size. A file cut short is refused. Throws Error; refuses pictures over budget before
// allocating.
Pixels ReadPnm(std::string_view bytes);

}  // namespace mirvane::image
