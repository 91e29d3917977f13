#include "platform/win32/bitmap.h"

#include <cstddef>

namespace mirvane::platform::win32 {
namespace {

std::uint32_t Premultiplied(std::uint32_t argb) {
  const std::uint32_t a = argb >> 24;
  if (a == 0xff) return argb;
  const auto channel = [a](std::uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (channel((argb >> 16) & 0xff) << 16) | (channel((argb >> 8) & 0xff) << 8) |
         channel(argb & 0xff);
}

}  // namespace

Bitmap FromPixels(const image::Pixels& source) {
  Bitmap bitmap{source.width, source.height, source.argb};
  if (source.has_alpha) {
    for (std::uint32_t& pixel : bitmap.pixels) pixel = Premultiplied(pixel);
  }
  return bitmap;
}

Bitmap Oriented(const Bitmap& source, int orientation) {
  if (orientation < 2 || orientation > 8 || source.empty()) return source;
  const int w = source.width;
  const int h = source.height;
  const bool swap = SwapsSides(orientation);
  Bitmap out{swap ? h : w, swap ? w : h, {}};
  out.pixels.resize(source.pixels.size());
  // For each source pixel (x, y), where it lands in the upright picture.
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      int tx = x, ty = y;
      switch (orientation) {
        case 2:
          tx = w - 1 - x;
          break;  // mirrored
        case 3:
          tx = w - 1 - x;
          ty = h - 1 - y;
          break;  // upside down
        case 4:
          ty = h - 1 - y;
          break;  // mirrored upside down
        case 5:
          tx = y;
          ty = x;
          break;  // transposed
        case 6:
          tx = h - 1 - y;
          ty = x;
          break;  // turned a quarter right
        case 7:
          tx = h - 1 - y;
          ty = w - 1 - x;
          break;  // transversed
        case 8:
          tx = y;
          ty = w - 1 - x;
          break;  // turned a quarter left
        default:
          break;
      }
      out.pixels[static_cast<std::size_t>(ty) * static_cast<std::size_t>(out.width) +
                 static_cast<std::size_t>(tx)] =
          source.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                        static_cast<std::size_t>(x)];
    }
  }
  return out;
}

Bitmap TurnedClockwise(const Bitmap& bitmap, int quarter_turns) {
  switch (((quarter_turns % 4) + 4) % 4) {
    case 1:
      return Oriented(bitmap, 6);
    case 2:
      return Oriented(bitmap, 3);
    case 3:
      return Oriented(bitmap, 8);
    default:
      return bitmap;
  }
}

}  // namespace mirvane::platform::win32
