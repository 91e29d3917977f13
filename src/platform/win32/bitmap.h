#pragma once

#include <cstdint>
#include <vector>

#include "image/fit.h"
#include "image/pixel_steps.h"
#include "image/pixels.h"

namespace mirvane::platform::win32 {

// A picture in GDI's 32-bit DIB layout: rows top to bottom, one 0xAARRGGBB value a pixel,
// premultiplied as WIC's 32bppPBGRA gives it (the system codecs' pictures, before the
// pipeline finishes them), or opaque (what a slot shows).
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  bool empty() const { return pixels.empty(); }
  image::Size size() const { return {width, height}; }
};

// The shared decoders' pixels, premultiplied.
Bitmap FromPixels(const image::Pixels& pixels);

// `bitmap` brought upright for an EXIF orientation (1 to 8; others leave it as is).
Bitmap Oriented(const Bitmap& bitmap, int orientation);

// `bitmap` turned clockwise by a number of quarter turns.
Bitmap TurnedClockwise(const Bitmap& bitmap, int quarter_turns);

using image::SwapsSides;

}  // namespace mirvane::platform::win32
