#include "image/fit.h"

#include <algorithm>
#include <cmath>

namespace mirvane::image {

Size FittedSize(Size picture, Size box) {
  if (picture.width <= 0 || picture.height <= 0) return {};
  const double bw = std::max(box.width, 1);
  const double bh = std::max(box.height, 1);
  const double scale = std::min(bw / picture.width, bh / picture.height);
  const auto side = [&](int n, double limit) {
    return static_cast<int>(std::clamp(std::round(n * scale), 1.0, limit));
  };
  return {side(picture.width, bw), side(picture.height, bh)};
}

Size CoverSize(Size picture, Size box) {
  const Size a = FittedSize(picture, box);
  const Size b = FittedSize(picture, {box.height, box.width});
  return a.width >= b.width ? a : b;
}

Size Turned(Size size, int quarter_turns) {
  return quarter_turns % 2 ? Size{size.height, size.width} : size;
}

}  // namespace mirvane::image
