#include "image/pixel_steps.h"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "image/scale.h"

namespace mirvane::image {

void OverWhite(Pixels& pixels, bool premultiplied) {
  if (!pixels.has_alpha) return;  // opaque already: no pass over the picture
  for (std::uint32_t& p : pixels.argb) {
    const std::uint32_t a = p >> 24;
    if (a == 0xff) continue;
    const std::uint32_t clear = 255 - a;
    if (premultiplied) {  // each channel <= alpha
      p = (p + clear * 0x010101u) | 0xff000000u;
      continue;
    }
    const auto over = [&](int shift) {
      return ((((p >> shift) & 0xff) * a + clear * 255 + 127) / 255) << shift;
    };
    p = 0xff000000u | over(16) | over(8) | over(0);
  }
  pixels.has_alpha = false;
}

Pixels Scaled(const Pixels& pixels, Size to) {
  const Size from{pixels.width, pixels.height};
  if (from == to || pixels.argb.empty() || to.width <= 0 || to.height <= 0) return pixels;
  // Reduced where it shrinks, then enlarged where it grows: never resampled twice along a side.
  const Size reduced{std::min(to.width, from.width), std::min(to.height, from.height)};
  Pixels out{reduced.width, reduced.height, pixels.has_alpha, {}};
  if (reduced == from) {
    out.argb = pixels.argb;
  } else {
    AreaReducer reducer(from, reduced);
    for (int y = 0; y < from.height; ++y)
      reducer.AddRow(pixels.argb.data() + std::size_t(y) * std::size_t(from.width));
    out.argb = reducer.Take();
  }
  if (reduced == to) return out;
  out.argb = ScaleBilinear(out.argb, reduced, to);
  out.width = to.width;
  out.height = to.height;
  return out;
}

Pixels Oriented(const Pixels& source, int orientation) {
  if (orientation < 2 || orientation > 8 || source.argb.empty()) return source;
  const std::size_t w = std::size_t(source.width);
  const std::size_t h = std::size_t(source.height);
  const bool swap = SwapsSides(orientation);
  Pixels out{int(swap ? h : w), int(swap ? w : h), source.has_alpha, {}};
  out.argb.resize(source.argb.size());
  const std::size_t out_width = std::size_t(out.width);
  // For each source pixel (x, y), where it lands in the upright picture.
  for (std::size_t y = 0; y < h; ++y) {
    const std::uint32_t* row = source.argb.data() + y * w;
    for (std::size_t x = 0; x < w; ++x) {
      std::size_t tx = x, ty = y;
      switch (orientation) {
        case 2:  // mirrored
          tx = w - 1 - x;
          break;
        case 3:  // upside down
          tx = w - 1 - x;
          ty = h - 1 - y;
          break;
        case 4:  // mirrored upside down
          ty = h - 1 - y;
          break;
        case 5:  // transposed
          tx = y;
          ty = x;
          break;
        case 6:  // turned a quarter right
          tx = h - 1 - y;
          ty = x;
          break;
        case 7:  // transversed
          tx = h - 1 - y;
          ty = w - 1 - x;
          break;
        case 8:  // turned a quarter left
          tx = y;
          ty = w - 1 - x;
          break;
        default:
          break;
      }
      out.argb[ty * out_width + tx] = row[x];
    }
  }
  return out;
}

Pixels TurnedClockwise(const Pixels& pixels, int quarter_turns) {
  switch (((quarter_turns % 4) + 4) % 4) {
    case 1:
      return Oriented(pixels, 6);
    case 2:
      return Oriented(pixels, 3);
    case 3:
      return Oriented(pixels, 8);
    default:
      return pixels;
  }
}

}  // namespace mirvane::image
