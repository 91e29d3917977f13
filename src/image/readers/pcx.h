#pragma once

#include <string_view>

#include "image/pixels.h"

namespace mirvane::image {

// ZSoft PCX at full size. Throws Error on anything it cannot draw, and refuses
// pictures over budget before allocating their pixels.
Pixels DecodePcx(std::string_view bytes);

}  // namespace mirvane::image
