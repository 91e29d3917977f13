#include "image/finish.h"

#include <utility>

#include "image/colour.h"
#include "image/error.h"
#include "image/pixel_steps.h"

namespace mirvane::image {
namespace {

Size SizeOf(const Pixels& pixels) { return {pixels.width, pixels.height}; }

// Stored pixels scaled to `stored` (the size as stored), in sRGB, made upright.
Pixels Upright(const Pixels& pixels, Size stored, const std::string& icc, int orientation) {
  Pixels out = Scaled(pixels, stored);
  ToSrgb(out, icc);
  return Oriented(out, orientation);
}

}  // namespace

Decoded Finish(Picture picture, Size box, int quarter_turns) {
  Pixels& pixels = picture.pixels;
  if (pixels.argb.empty() || picture.full.width <= 0 || picture.full.height <= 0 ||
      pixels.argb.size() != std::size_t(pixels.width) * std::size_t(pixels.height))
    throw Error("no picture");
  const int swap = SwapsSides(picture.orientation) ? 1 : 0;
  OverWhite(pixels, picture.premultiplied);
  const Size have = Turned(SizeOf(pixels), swap);  // upright
  const Size cover = CoverSize(picture.full, box);
  const Size fitted = FittedSize(picture.full, Turned(box, quarter_turns));
  const Size source = have.width > cover.width ? FittedSize(have, cover) : have;

  Decoded decoded;
  decoded.full = picture.full;
  decoded.source = Upright(pixels, Turned(source, swap), picture.icc, picture.orientation);
  Pixels image;
  if (fitted == source) {
    image = decoded.source;
  } else if (!picture.fitted.argb.empty() && Turned(SizeOf(picture.fitted), swap) == fitted) {
    OverWhite(picture.fitted, picture.premultiplied);
    image = Upright(picture.fitted, Turned(fitted, swap), picture.icc, picture.orientation);
  } else {
    image = Upright(pixels, Turned(fitted, swap), picture.icc, picture.orientation);
  }
  decoded.image = TurnedClockwise(image, quarter_turns);
  return decoded;
}

Pixels Refitted(const Pixels& source, Size full, Size box, int quarter_turns) {
  const Size fitted = FittedSize(full, Turned(box, quarter_turns));
  return TurnedClockwise(Scaled(source, fitted), quarter_turns);
}

bool Softer(Size source, Size full, Size box, int quarter_turns, bool scalable) {
  const Size fitted = FittedSize(full, Turned(box, quarter_turns));
  const bool reduced = scalable || source.width < full.width || source.height < full.height;
  return reduced && (fitted.width > source.width || fitted.height > source.height);
}

}  // namespace mirvane::image
