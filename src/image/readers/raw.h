#pragma once

#include <string>
#include <string_view>

#include "image/fit.h"
#include "image/pixels.h"

namespace mirvane::image {

// A camera raw file as fast as it can be shown: its embedded preview where it has one
// (JPEG as it is stored, so that it can be decoded straight to size, or a bitmap), and
// the raw data developed only where it has none.
struct RawPicture {
  std::string jpeg;       // the embedded JPEG preview, stored sideways as the sensor saw it
  Pixels pixels;          // otherwise the picture: a bitmap preview, or the raw developed
  int quarter_turns = 0;  // clockwise turns that make `jpeg` or `pixels` upright
  Size full;              // the picture's own size, upright
};

// `box` (the size the picture is to fit) lets a developed raw be made at half size.
// Throws Error; refuses pictures over budget before decoding them.
RawPicture DecodeRaw(std::string_view bytes, Size box);

}  // namespace mirvane::image
