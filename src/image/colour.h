#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "image/pixels.h"

namespace mirvane::image {

// Brings opaque `pixels` from the colour space of the ICC profile `icc` to sRGB in place,
// through Little CMS, relative colorimetric. An empty profile means sRGB already; a
// profile Little CMS cannot read, or one for another kind of pixel (CMYK on RGB, grey on
// a colour picture), is ignored.
void ToSrgb(Pixels& pixels, std::string_view icc);

// Opaque sRGB pixels from CMYK samples (4 bytes a pixel, 0 no ink; `inverted` when 0 is full
// ink, as Adobe's JPEGs store it), through the CMYK profile `icc`, or by the plain formula
// when there is no usable one. Throws std::bad_alloc.
Pixels CmykToSrgb(const std::uint8_t* cmyk, int width, int height, std::size_t stride,
                  std::string_view icc, bool inverted);

// An ICC profile for a PNG's gAMA (times 100000) and, when `chromaticities`, cHRM (white,
// red, green, blue x and y): what its colours mean without an iCCP. Empty when they make
// no usable profile.
std::string ProfileFromChunks(std::uint32_t gamma, bool chromaticities, const double white[2],
                              const double red[2], const double green[2], const double blue[2]);

}  // namespace mirvane::image
