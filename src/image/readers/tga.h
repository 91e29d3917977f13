#pragma once

#include <string_view>

#include "image/picture.h"

namespace mirvane::image {

// Truevision TGA: colour-mapped, true-colour and grey, 8/15/16/24/32 bits, raw or RLE,
// every origin (bottom-left, top-left, bottom-right, top-right: descriptor bits 4 and 5),
// alpha as the descriptor's attribute bits and the TGA 2.0 extension's attribute type
// say. Throws Error; refuses pictures over budget before allocating.
Picture ReadTga(std::string_view bytes);

}  // namespace mirvane::image
