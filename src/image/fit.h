#pragma once

namespace mirvane::image {

// A size in pixels.
struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// The largest size with `picture`'s aspect that fits in `box`, at least 1 x 1. Small
// pictures are enlarged. An empty box gives 1 x 1-ish sizes (decoding then only checks
// the file). An empty picture gives 0 x 0.
Size FittedSize(Size picture, Size box);

// The smallest size from which `picture` fitted to `box` either way round is made
// without enlarging: the larger of the two fits.
Size CoverSize(Size picture, Size box);

// `size` with width and height swapped when `quarter_turns` is odd.
Size Turned(Size size, int quarter_turns);

}  // namespace mirvane::image
