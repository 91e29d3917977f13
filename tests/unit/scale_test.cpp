// The area reducer against the plain definition: each target pixel the mean of the
// source area it covers, computed in doubles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "image/scale.h"

namespace mirvane::image {
namespace {

std::vector<std::uint32_t> Noise(Size size, unsigned seed) {
  std::vector<std::uint32_t> pixels(static_cast<size_t>(size.width) * size.height);
  for (auto& p : pixels) {
    seed = seed * 1103515245u + 12345u;
    p = seed ^ (seed >> 13);
  }
  return pixels;
}

// How much of source line `i` falls in target line `t`, in source units.
double Overlap(int i, int t, int from, int to) {
  const double scale = static_cast<double>(from) / to;
  return std::max(0.0, std::min(i + 1.0, (t + 1) * scale) - std::max<double>(i, t * scale));
}

TEST(AreaReducer, EachPixelIsTheMeanOfTheAreaItCovers) {
  const struct {
    Size from, to;
  } cases[] = {{{37, 23}, {10, 7}}, {{5, 5}, {5, 5}},     {{100, 1}, {3, 1}},
               {{3, 2}, {2, 2}},    {{1, 50}, {1, 7}},    {{640, 9}, {459, 4}},
               {{1000, 3}, {1, 1}}, {{17, 13}, {16, 12}}, {{300, 200}, {29, 19}}};
  unsigned seed = 3;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.from.width << "x" << c.from.height << " to " << c.to.width
                                    << "x" << c.to.height);
    const std::vector<std::uint32_t> source = Noise(c.from, ++seed);
    AreaReducer reducer(c.from, c.to);
    for (int y = 0; y < c.from.height; ++y)
      reducer.AddRow(&source[static_cast<size_t>(y) * c.from.width]);
    const std::vector<std::uint32_t> out = reducer.Take();
    ASSERT_EQ(out.size(), static_cast<size_t>(c.to.width) * c.to.height);
    int worst = 0;
    for (int ty = 0; ty < c.to.height; ++ty) {
      for (int tx = 0; tx < c.to.width; ++tx) {
        for (int channel = 0; channel < 4; ++channel) {
          double sum = 0, area = 0;
          for (int y = 0; y < c.from.height; ++y) {
            const double h = Overlap(y, ty, c.from.height, c.to.height);
            if (h == 0) continue;
            for (int x = 0; x < c.from.width; ++x) {
              const double w = Overlap(x, tx, c.from.width, c.to.width) * h;
              const std::uint32_t p = source[static_cast<size_t>(y) * c.from.width + x];
              sum += w * ((p >> (8 * channel)) & 0xff);
              area += w;
            }
          }
          const int expected = static_cast<int>(std::lround(sum / area));
          const int got = (out[static_cast<size_t>(ty) * c.to.width + tx] >> (8 * channel)) & 0xff;
          worst = std::max(worst, std::abs(got - expected));
        }
      }
    }
    // Single precision may round a value that lies near half the other way.
    EXPECT_LE(worst, 1);
  }
}

TEST(AreaReducer, KeepsFlatColoursExactly) {
  const Size from{977, 31}, to{13, 5};
  const std::vector<std::uint32_t> row(from.width, 0x80ff4001u);
  AreaReducer reducer(from, to);
  for (int y = 0; y < from.height; ++y) reducer.AddRow(row.data());
  for (std::uint32_t p : reducer.Take()) EXPECT_EQ(p, 0x80ff4001u);
}

}  // namespace
}  // namespace mirvane::image
