#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "image/fit.h"

namespace mirvane::image {

// What a PNG says of its colours, as libpng accepts it, for the back-end to tag the
// picture the way its own PNG reader would.
struct PngColour {
  std::string icc;          // the iCCP profile, inflated; empty when none or refused
  bool srgb = false;        // an sRGB chunk
  std::uint32_t gamma = 0;  // gAMA times 100000; 0 when none
  bool chromaticities = false;
  double white[2] = {}, red[2] = {}, green[2] = {}, blue[2] = {};  // cHRM's x, y
};

struct PngPicture {
  Size full;  // as stored, before any EXIF orientation
  Size size;  // of `argb`: `full`, or less but never less than CoverSize(full, box)
  bool has_alpha = false;
  std::vector<std::uint32_t> argb;  // premultiplied 0xAARRGGBB, rows top to bottom
  // When asked for and smaller than `size`: the picture reduced straight to its fit of
  // the box it is shown in, which a second resampling of `argb` would soften.
  Size fitted_size;
  std::vector<std::uint32_t> fitted;
  PngColour colour;
};

// Decodes a still PNG, interlaced or not, of any colour type and bit depth, reduced by
// exact area averaging to CoverSize(full, box) when that is smaller, and also to
// FittedSize(full, shown) when `shown` is given. Rows are reduced as they come, so that a
// large picture is never held whole at 32 bits, but for an interlaced one, whose passes
// spread over it all. It takes what libpng takes: it refuses critical chunks with bad
// CRCs and drops ancillary ones (but for a colour profile, which libpng takes anyway),
// and takes image data that goes on past the rows, but not data cut short.
// Throws Error on what it cannot read (damaged, cut short, over budget), before
// allocating the pixels of a picture over budget.
PngPicture DecodePng(std::string_view file, Size box, Size shown = {});

}  // namespace mirvane::image
