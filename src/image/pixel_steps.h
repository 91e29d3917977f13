#pragma once

#include "image/fit.h"
#include "image/pixels.h"

namespace mirvane::image {

// White behind transparency, for every format alike: most pictures with transparent parts
// (diagrams, logos, scanned signatures, text) were made for a white page, and their black
// lines stay readable where the slot's black would swallow them. `premultiplied` tells how
// the alpha is carried. The result is opaque.
void OverWhite(Pixels& pixels, bool premultiplied);

// `pixels` scaled to `to`: reduced by the exact area average (every source pixel counts by
// the area it covers, so fine patterns keep their mean), enlarged bilinearly. Throws
// std::bad_alloc.
Pixels Scaled(const Pixels& pixels, Size to);

// Whether an EXIF orientation swaps width and height.
inline bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// `pixels` as stored with the EXIF orientation `orientation` (1-8), made upright.
Pixels Oriented(const Pixels& pixels, int orientation);

// `pixels` turned clockwise by `quarter_turns`.
Pixels TurnedClockwise(const Pixels& pixels, int quarter_turns);

}  // namespace mirvane::image
