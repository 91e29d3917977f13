#pragma once

#include <cstdint>
#include <vector>

namespace mirvane::image {

// A decoded picture in a form every back-end can take: rows top to bottom, one
// 0xAARRGGBB value a pixel (not premultiplied; alpha 0xff where the picture has none).
struct Pixels {
  int width = 0;
  int height = 0;
  bool has_alpha = false;
  std::vector<std::uint32_t> argb;
};

}  // namespace mirvane::image
