#pragma once

#include <string>
#include <string_view>

#include "image/pixels.h"

namespace mirvane::image {

// The primary picture of a HEIF file (HEIC, or a still AVIF) at full size, turned,
// mirrored and cropped as the file says. Its ICC profile, if any, goes to `icc`.
// Throws Error; refuses pictures over budget before decoding them.
Pixels DecodeHeif(std::string_view bytes, std::string* icc);

}  // namespace mirvane::image
