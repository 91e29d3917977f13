#include "platform/win32/bitmap.h"

#include <cstddef>
#include <utility>

#include "image/pixel_steps.h"

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

// The pipeline's steps, on a bitmap: premultiplied pixels turn as any others.
Bitmap Oriented(const Bitmap& source, int orientation) {
  image::Pixels turned =
      image::Oriented(image::Pixels{source.width, source.height, true, source.pixels}, orientation);
  return {turned.width, turned.height, std::move(turned.argb)};
}

Bitmap TurnedClockwise(const Bitmap& bitmap, int quarter_turns) {
  image::Pixels turned = image::TurnedClockwise(
      image::Pixels{bitmap.width, bitmap.height, true, bitmap.pixels}, quarter_turns);
  return {turned.width, turned.height, std::move(turned.argb)};
}

}  // namespace mirvane::platform::win32
