#pragma once

#include <string_view>

#include "image/frames.h"

namespace mirvane::image {

// The frames of a JPEG XL file (one for a still picture), upright, each composed onto
// the whole canvas, given to `sink` one by one. Throws Error; refuses
// pictures over budget before decoding them.
void DecodeJxl(std::string_view bytes, const FrameSink& sink, FramesInfo* info);

}  // namespace mirvane::image
