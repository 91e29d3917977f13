#include "image/scale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

namespace mirvane::image {
namespace {

std::size_t Index(int x, int y, int width) {
  return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
         static_cast<std::size_t>(x);
}

float Channel(std::uint32_t pixel, int c) { return static_cast<float>((pixel >> (8 * c)) & 0xff); }

std::uint32_t Pack(const float* channels) {
  std::uint32_t pixel = 0;
  for (int c = 0; c < 4; ++c) {
    const float v = std::clamp(channels[c] + 0.5f, 0.0f, 255.0f);
    pixel |= static_cast<std::uint32_t>(v) << (8 * c);
  }
  return pixel;
}

}  // namespace

// Source line i covers [i, i + 1) in source units, [i * to / from, (i + 1) * to / from)
// in target units: at most two target cells, since to <= from.
std::vector<AreaReducer::Share> AreaReducer::Shares(int from, int to) {
  std::vector<Share> shares(static_cast<std::size_t>(from));
  const double ratio = static_cast<double>(to) / from;
  for (int i = 0; i < from; ++i) {
    const double start = i * ratio;
    const double end = (i + 1) * ratio;
    const int target = std::min(static_cast<int>(start), to - 1);
    const double boundary = target + 1.0;
    // The last cell takes all that is left, rounding included.
    const double first = end <= boundary || target == to - 1 ? 1.0 : (boundary - start) / ratio;
    shares[static_cast<std::size_t>(i)] = {target, static_cast<float>(first)};
  }
  return shares;
}

AreaReducer::AreaReducer(Size from, Size to)
    : from_(from),
      to_(to),
      columns_(Shares(from.width, to.width)),
      rows_(Shares(from.height, to.height)),
      row_(static_cast<std::size_t>(to.width) * 4),
      current_(row_.size()),
      next_(row_.size()),
      scale_(static_cast<float>(static_cast<double>(to.width) * to.height /
                                (static_cast<double>(from.width) * from.height))) {
  out_.resize(static_cast<std::size_t>(to.width) * static_cast<std::size_t>(to.height));
}

void AreaReducer::AddRow(const std::uint32_t* row) {
  if (source_row_ >= from_.height) return;
  std::fill(row_.begin(), row_.end(), 0.0f);
  for (int x = 0; x < from_.width; ++x) {
    const Share share = columns_[static_cast<std::size_t>(x)];
    float* cell = &row_[static_cast<std::size_t>(share.target) * 4];
    const std::uint32_t pixel = row[x];
    for (int c = 0; c < 4; ++c) {
      const float v = Channel(pixel, c);
      cell[c] += v * share.first;
      if (share.first < 1.0f) cell[4 + c] += v * (1.0f - share.first);
    }
  }
  const Share share = rows_[static_cast<std::size_t>(source_row_)];
  for (std::size_t i = 0; i < row_.size(); ++i) {
    current_[i] += row_[i] * share.first;
    next_[i] += row_[i] * (1.0f - share.first);
  }
  ++source_row_;
  // The target row is complete when the next source row starts in a later one.
  const bool last = source_row_ == from_.height;
  if (last || rows_[static_cast<std::size_t>(source_row_)].target != share.target) {
    Finish(share.target, current_);
    std::swap(current_, next_);
    std::fill(next_.begin(), next_.end(), 0.0f);
  }
}

void AreaReducer::Finish(int target_row, const std::vector<float>& sums) {
  float channels[4];
  for (int x = 0; x < to_.width; ++x) {
    for (int c = 0; c < 4; ++c) channels[c] = sums[static_cast<std::size_t>(x) * 4 + c] * scale_;
    out_[Index(x, target_row, to_.width)] = Pack(channels);
  }
}

std::vector<std::uint32_t> ScaleBilinear(const std::vector<std::uint32_t>& pixels, Size from,
                                         Size to) {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(to.width) *
                                 static_cast<std::size_t>(to.height));
  // Pixel centres map onto pixel centres.
  const auto source = [](int i, int from_n, int to_n, int& low, int& high, float& t) {
    const double at = std::clamp((i + 0.5) * from_n / to_n - 0.5, 0.0, from_n - 1.0);
    low = static_cast<int>(at);
    high = std::min(low + 1, from_n - 1);
    t = static_cast<float>(at - low);
  };
  for (int y = 0; y < to.height; ++y) {
    int y0, y1;
    float ty;
    source(y, from.height, to.height, y0, y1, ty);
    for (int x = 0; x < to.width; ++x) {
      int x0, x1;
      float tx;
      source(x, from.width, to.width, x0, x1, tx);
      const std::uint32_t a = pixels[Index(x0, y0, from.width)];
      const std::uint32_t b = pixels[Index(x1, y0, from.width)];
      const std::uint32_t c = pixels[Index(x0, y1, from.width)];
      const std::uint32_t d = pixels[Index(x1, y1, from.width)];
      float channels[4];
      for (int k = 0; k < 4; ++k) {
        const float top = Channel(a, k) + (Channel(b, k) - Channel(a, k)) * tx;
        const float bottom = Channel(c, k) + (Channel(d, k) - Channel(c, k)) * tx;
        channels[k] = top + (bottom - top) * ty;
      }
      out[Index(x, y, to.width)] = Pack(channels);
    }
  }
  return out;
}

}  // namespace mirvane::image
