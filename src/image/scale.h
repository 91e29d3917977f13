#pragma once

#include <cstdint>
#include <vector>

#include "image/fit.h"

namespace mirvane::image {

// Reduces a picture of four 8-bit channels a pixel (premultiplied ARGB, so that
// transparent pixels do not bleed colour) to `to` by averaging exactly the source area
// each target pixel covers. It is fed the source rows top to bottom, so a large picture
// never has to be held whole. `to` is at most `from` in both sides, at least 1 x 1.
class AreaReducer {
 public:
  AreaReducer(Size from, Size to);

  // The next source row: `from.width` pixels.
  void AddRow(const std::uint32_t* row);
  // The reduced picture, rows top to bottom, once every source row was added.
  std::vector<std::uint32_t> Take() { return std::move(out_); }

 private:
  struct Share {
    int target;   // the target cell this source line starts in
    float first;  // the part of it that falls there; the rest goes to target + 1
  };
  // The source columns of one target column: [begin, end) fall wholly in it, and when
  // `split`, column `end` falls in it by `first` and in the next one by the rest.
  struct Span {
    int begin = 0, end = 0;
    bool split = false;
    float first = 1;
  };
  static std::vector<Share> Shares(int from, int to);
  static std::vector<Span> Spans(const std::vector<Share>& columns, int to);
  void ReduceAcross(const std::uint32_t* row);
  void Finish(int target_row, const std::vector<float>& sums);

  Size from_, to_;
  std::vector<Share> rows_;
  std::vector<Span> spans_;
  std::vector<float> row_;             // the current source row, reduced across
  std::vector<float> current_, next_;  // target rows being summed
  int source_row_ = 0;
  float scale_;  // 1 / the source area of one target pixel
  std::vector<std::uint32_t> out_;
};

// `pixels` (four 8-bit channels, `from`) scaled to `to` with bilinear interpolation:
// for enlarging, and for pictures small enough to hold whole.
std::vector<std::uint32_t> ScaleBilinear(const std::vector<std::uint32_t>& pixels, Size from,
                                         Size to);

}  // namespace mirvane::image
