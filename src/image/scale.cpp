#include "image/scale.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

std::vector<AreaReducer::Span> AreaReducer::Spans(const std::vector<Share>& columns, int to) {
  std::vector<Span> spans(static_cast<std::size_t>(to));
  const int from = static_cast<int>(columns.size());
  int x = 0;
  for (int t = 0; t < to; ++t) {
    Span& span = spans[static_cast<std::size_t>(t)];
    const auto in = [&](int column) {
      return column < from && columns[static_cast<std::size_t>(column)].target == t;
    };
    span.begin = x;
    while (in(x) && columns[static_cast<std::size_t>(x)].first >= 1.0f) ++x;
    span.end = x;
    if (in(x)) {
      span.split = true;
      span.first = columns[static_cast<std::size_t>(x)].first;
      ++x;
    }
  }
  return spans;
}

AreaReducer::AreaReducer(Size from, Size to)
    : from_(from),
      to_(to),
      rows_(Shares(from.height, to.height)),
      spans_(Spans(Shares(from.width, to.width), to.width)),
      row_(static_cast<std::size_t>(to.width) * 4),
      current_(row_.size()),
      next_(row_.size()),
      scale_(static_cast<float>(static_cast<double>(to.width) * to.height /
                                (static_cast<double>(from.width) * from.height))) {
  out_.resize(static_cast<std::size_t>(to.width) * static_cast<std::size_t>(to.height));
}

// Whole pixels are summed exactly in integers; only those a cell boundary splits are
// weighed. Each cell is written once: its whole pixels, and what the split pixel before
// it carried over.
#if defined(__SSE2__)
void AreaReducer::ReduceAcross(const std::uint32_t* row) {
  const __m128i zero = _mm_setzero_si128();
  const auto lanes = [&](std::uint32_t pixel) {
    const __m128i bytes = _mm_cvtsi32_si128(static_cast<int>(pixel));
    return _mm_unpacklo_epi16(_mm_unpacklo_epi8(bytes, zero), zero);
  };
  __m128 carried = _mm_setzero_ps();
  for (std::size_t t = 0; t < spans_.size(); ++t) {
    const Span& span = spans_[t];
    __m128i sum = zero;
    for (int x = span.begin; x < span.end; ++x) sum = _mm_add_epi32(sum, lanes(row[x]));
    __m128 cell = _mm_add_ps(carried, _mm_cvtepi32_ps(sum));
    carried = _mm_setzero_ps();
    if (span.split) {
      const __m128 v = _mm_cvtepi32_ps(lanes(row[span.end]));
      const __m128 part = _mm_mul_ps(v, _mm_set1_ps(span.first));
      cell = _mm_add_ps(cell, part);
      carried = _mm_sub_ps(v, part);
    }
    _mm_storeu_ps(&row_[t * 4], cell);
  }
}
#else
void AreaReducer::ReduceAcross(const std::uint32_t* row) {
  float carried[4] = {};
  for (std::size_t t = 0; t < spans_.size(); ++t) {
    const Span& span = spans_[t];
    std::uint32_t sums[4] = {};
    for (int x = span.begin; x < span.end; ++x)
      for (int c = 0; c < 4; ++c) sums[c] += (row[x] >> (8 * c)) & 0xff;
    float* cell = &row_[t * 4];
    for (int c = 0; c < 4; ++c) {
      cell[c] = carried[c] + static_cast<float>(sums[c]);
      carried[c] = 0;
    }
    if (span.split) {
      for (int c = 0; c < 4; ++c) {
        const float v = Channel(row[span.end], c);
        cell[c] += v * span.first;
        carried[c] = v - v * span.first;
      }
    }
  }
}
#endif

void AreaReducer::AddRow(const std::uint32_t* row) {
  if (source_row_ >= from_.height) return;
  ReduceAcross(row);
  const Share share = rows_[static_cast<std::size_t>(source_row_)];
  if (share.first >= 1.0f) {
    for (std::size_t i = 0; i < row_.size(); ++i) current_[i] += row_[i];
  } else {
    for (std::size_t i = 0; i < row_.size(); ++i) {
      current_[i] += row_[i] * share.first;
      next_[i] += row_[i] * (1.0f - share.first);
    }
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
