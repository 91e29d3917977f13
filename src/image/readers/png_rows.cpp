#include "image/readers/png_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/error.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mirvane::image::png {
namespace {

using std::uint32_t;
using std::uint8_t;

int PaethScalar(int a, int b, int c) {
  const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
  return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

#if defined(__SSE2__)
// Whole 4 or 8 bytes at a time: a pixel of 3 or 6 bytes also takes the next pixel's first
// bytes, which come back unchanged.
template <int kWidth>
__m128i Load(const uint8_t* p) {
  if constexpr (kWidth == 4) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return _mm_cvtsi32_si128(static_cast<int>(v));
  } else {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
  }
}

template <int kWidth>
void Store(uint8_t* p, __m128i bytes) {
  if constexpr (kWidth == 4) {
    const uint32_t v = static_cast<uint32_t>(_mm_cvtsi128_si32(bytes));
    std::memcpy(p, &v, 4);
  } else {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), bytes);
  }
}

__m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

__m128i Select(__m128i mask, __m128i yes, __m128i no) {
  return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// The Paeth predictor of one pixel in 16-bit lanes: `a` left, `b` above, `c` above left.
__m128i Predict(__m128i a, __m128i b, __m128i c) {
  const __m128i to_a = _mm_sub_epi16(b, c);  // the estimate less a
  const __m128i to_b = _mm_sub_epi16(a, c);  // the estimate less b
  const __m128i pa = Abs16(to_a), pb = Abs16(to_b), pc = Abs16(_mm_add_epi16(to_a, to_b));
  const __m128i not_a = _mm_cmpgt_epi16(pa, _mm_min_epi16(pb, pc));
  return Select(not_a, Select(_mm_cmpgt_epi16(pb, pc), c, b), a);
}

// One pixel at a time: each depends on the one before it, so the time is the chain from
// one pixel to the next. With a second row below, its chain runs beside the first one's,
// taking its pixels above straight from the first row's results.
// Returns where it stopped: the bytes left are fewer than a whole load.
template <int kBpp, bool kTwo>
std::size_t PaethPixels(uint8_t* top, uint8_t* bottom, const uint8_t* prior, std::size_t length) {
  constexpr int kWidth = kBpp <= 4 ? 4 : 8;
  if (length < kWidth) return 0;
  const __m128i zero = _mm_setzero_si128();
  // Lanes past the pixel add nothing, so the next pixel's bytes are stored back as read.
  alignas(16) std::int16_t lanes[8] = {};
  for (int i = 0; i < kBpp; ++i) lanes[i] = -1;
  const __m128i pixel = _mm_load_si128(reinterpret_cast<const __m128i*>(lanes));
  __m128i a = zero, c = zero, below_a = zero;
  __m128i raw = Load<kWidth>(top), below_raw = zero;
  if constexpr (kTwo) below_raw = Load<kWidth>(bottom);
  std::size_t i = 0;
  for (; i + kWidth <= length; i += kBpp) {
    const bool more = i + kBpp + kWidth <= length;
    const __m128i b = _mm_unpacklo_epi8(Load<kWidth>(prior + i), zero);
    const __m128i x = _mm_unpacklo_epi8(raw, zero);
    // Read before this pixel's store, which overlaps it: a load that overlaps an
    // earlier store only in part waits for that store to finish.
    if (more) raw = Load<kWidth>(top + i + kBpp);
    const __m128i value = _mm_add_epi8(x, _mm_and_si128(Predict(a, b, c), pixel));
    Store<kWidth>(top + i, _mm_packus_epi16(value, value));
    if constexpr (kTwo) {
      const __m128i below_x = _mm_unpacklo_epi8(below_raw, zero);
      if (more) below_raw = Load<kWidth>(bottom + i + kBpp);
      below_a = _mm_add_epi8(below_x, _mm_and_si128(Predict(below_a, value, a), pixel));
      Store<kWidth>(bottom + i, _mm_packus_epi16(below_a, below_a));
    }
    a = value;
    c = b;
  }
  return i;
}
#endif

void PaethScalarRow(uint8_t* row, const uint8_t* prior, std::size_t from, std::size_t length,
                    int bpp) {
  const std::size_t first = std::min<std::size_t>(static_cast<std::size_t>(bpp), length);
  for (std::size_t i = from; i < first; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
  for (std::size_t i = std::max(first, from); i < length; ++i)
    row[i] = static_cast<uint8_t>(row[i] + PaethScalar(row[i - bpp], prior[i], prior[i - bpp]));
}

// Paeth over `top`, and over `bottom` below it when there is one.
void Paeth(uint8_t* top, uint8_t* bottom, const uint8_t* prior, std::size_t length, int bpp) {
  std::size_t done = 0;
#if defined(__SSE2__)
  const auto run = [&](auto one, auto two) {
    done = bottom ? two(top, bottom, prior, length) : one(top, bottom, prior, length);
  };
  switch (bpp) {
    case 3:
      run(PaethPixels<3, false>, PaethPixels<3, true>);
      break;
    case 4:
      run(PaethPixels<4, false>, PaethPixels<4, true>);
      break;
    case 6:
      run(PaethPixels<6, false>, PaethPixels<6, true>);
      break;
    case 8:
      run(PaethPixels<8, false>, PaethPixels<8, true>);
      break;
    default:
      break;
  }
#endif
  PaethScalarRow(top, prior, done, length, bpp);
  if (bottom) PaethScalarRow(bottom, top, done, length, bpp);
}

// A 16-bit sample rounded to 8 bits.
uint32_t To8(uint32_t x) { return (x * 255 + 32767) / 65535; }

// A 16-bit sample times a 16-bit alpha / 65535, rounded as Qt does before going to 8 bits.
uint32_t Premultiply16(uint32_t c, uint32_t a) {
  const std::uint64_t t = std::uint64_t{c} * a;
  return static_cast<uint32_t>((t + (t >> 16) + 0x8000u) >> 16);
}

// Each of the three colour channels times alpha / 255, rounded.
uint32_t Premultiply(uint32_t argb) {
  const uint32_t a = argb >> 24;
  if (a == 255) return argb;
  uint32_t rb = (argb & 0xff00ffu) * a;
  rb = ((rb + ((rb >> 8) & 0xff00ffu) + 0x800080u) >> 8) & 0xff00ffu;
  uint32_t g = ((argb >> 8) & 0xffu) * a;
  g = ((g + (g >> 8) + 0x80u) >> 8) & 0xffu;
  return a << 24 | rb | g << 8;
}

uint32_t Argb(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
  return a << 24 | r << 16 | g << 8 | b;
}

uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

#if defined(__SSE2__)
// Two pixels of RGBA bytes in 16-bit lanes to premultiplied BGRA, as Premultiply rounds.
__m128i PremultiplyPair(__m128i rgba) {
  const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(rgba, 0xff), 0xff);
  __m128i t = _mm_mullo_epi16(rgba, alpha);
  t = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), _mm_set1_epi16(0x80)),
                     8);
  const __m128i alpha_lanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
  t = _mm_or_si128(_mm_andnot_si128(alpha_lanes, t), _mm_and_si128(alpha_lanes, rgba));
  constexpr int kSwapRedBlue = 3 << 6 | 0 << 4 | 1 << 2 | 2;
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(t, kSwapRedBlue), kSwapRedBlue);
}

// Four pixels at a time; returns how many it did.
int PremultiplyRgba(const uint8_t* row, uint32_t* out, int width) {
  const __m128i zero = _mm_setzero_si128();
  int x = 0;
  for (; x + 4 <= width; x += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * x));
    const __m128i low = PremultiplyPair(_mm_unpacklo_epi8(v, zero));
    const __m128i high = PremultiplyPair(_mm_unpackhi_epi8(v, zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(low, high));
  }
  return x;
}
#endif

}  // namespace

void UnfilterPaethPair(uint8_t* first, uint8_t* second, const uint8_t* prior, std::size_t length,
                       int bpp) {
  Paeth(first, second, prior, length, bpp);
}

void Unfilter(int filter, uint8_t* row, const uint8_t* prior, std::size_t length, int bpp) {
  const std::size_t step = static_cast<std::size_t>(bpp);
  switch (filter) {
    case 0:
      return;
    case 1:
      for (std::size_t i = step; i < length; ++i)
        row[i] = static_cast<uint8_t>(row[i] + row[i - step]);
      return;
    case 2:
      for (std::size_t i = 0; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + prior[i]);
      return;
    case 3:
      for (std::size_t i = 0; i < length; ++i) {
        const int left = i >= step ? row[i - step] : 0;
        row[i] = static_cast<uint8_t>(row[i] + ((left + prior[i]) >> 1));
      }
      return;
    case 4:
      return Paeth(row, nullptr, prior, length, bpp);
    default:
      throw Error("PNG: unknown filter type");
  }
}

RowConverter::RowConverter(int colour_type, int bit_depth, const uint8_t* palette, int palette_size,
                           const Transparency& transparency)
    : colour_type_(colour_type), bit_depth_(bit_depth), transparency_(transparency) {
  if (colour_type == kPalette) {
    for (int i = 0; i < palette_size && i < 256; ++i) {
      const uint32_t alpha = i < transparency.count ? transparency.alphas[i] : 255;
      has_alpha_ |= alpha != 255;
      const uint8_t* rgb = palette + 3 * i;
      lookup_[i] = Premultiply(Argb(rgb[0], rgb[1], rgb[2], alpha));
    }
    for (int i = palette_size; i < 256; ++i) lookup_[i] = lookup_[0];
  } else if (colour_type == kGrey && bit_depth <= 8) {
    const int top = (1 << bit_depth) - 1;
    for (int i = 0; i <= top; ++i) {
      const uint32_t v = static_cast<uint32_t>(i * 255 / top);
      lookup_[i] = Argb(v, v, v);
    }
    if (transparency.has_key && transparency.key[0] <= top) {
      lookup_[transparency.key[0]] = 0;
      has_alpha_ = true;
    }
  } else {
    has_alpha_ = colour_type == kGreyAlpha || colour_type == kRgba || transparency.has_key;
  }
}

void RowConverter::Indexed(const uint8_t* row, uint32_t* out, int width) const {
  if (bit_depth_ == 8) {
    for (int x = 0; x < width; ++x) out[x] = lookup_[row[x]];
    return;
  }
  const int per_byte = 8 / bit_depth_;
  const unsigned mask = (1u << bit_depth_) - 1;
  for (int x = 0; x < width; ++x) {
    const int shift = 8 - bit_depth_ * (x % per_byte + 1);
    out[x] = lookup_[(row[x / per_byte] >> shift) & mask];
  }
}

void RowConverter::Wide(const uint8_t* row, uint32_t* out, int width) const {
  const bool keyed = transparency_.has_key;
  const uint16_t* key = transparency_.key;
  switch (colour_type_) {
    case kGrey:  // 16 bits
      for (int x = 0; x < width; ++x) {
        const uint32_t v = Be16(row + 2 * x);
        out[x] = keyed && v == key[0] ? 0 : Argb(To8(v), To8(v), To8(v));
      }
      return;
    case kRgb:
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = row + 6 * x;
        const uint32_t r = Be16(p), g = Be16(p + 2), b = Be16(p + 4);
        out[x] =
            keyed && r == key[0] && g == key[1] && b == key[2] ? 0 : Argb(To8(r), To8(g), To8(b));
      }
      return;
    case kGreyAlpha:
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = row + 4 * x;
        const uint32_t a = Be16(p + 2), v = To8(Premultiply16(Be16(p), a));
        out[x] = Argb(v, v, v, To8(a));
      }
      return;
    default:  // RGBA
      for (int x = 0; x < width; ++x) {
        const uint8_t* p = row + 8 * x;
        const uint32_t a = Be16(p + 6);
        out[x] = Argb(To8(Premultiply16(Be16(p), a)), To8(Premultiply16(Be16(p + 2), a)),
                      To8(Premultiply16(Be16(p + 4), a)), To8(a));
      }
      return;
  }
}

void RowConverter::Convert(const uint8_t* row, uint32_t* out, int width) const {
  if (colour_type_ == kPalette || (colour_type_ == kGrey && bit_depth_ <= 8))
    return Indexed(row, out, width);
  if (bit_depth_ == 16) return Wide(row, out, width);
  const uint16_t* key = transparency_.key;
  switch (colour_type_) {
    case kRgb:
      for (int x = 0; x < width; ++x) out[x] = Argb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
      if (transparency_.has_key) {
        // Only the low byte of the key counts at this depth.
        const uint32_t clear = Argb(key[0] & 0xff, key[1] & 0xff, key[2] & 0xff);
        for (int x = 0; x < width; ++x)
          if (out[x] == clear) out[x] = 0;
      }
      return;
    case kGreyAlpha:
      for (int x = 0; x < width; ++x) {
        const uint32_t v = row[2 * x];
        out[x] = Premultiply(Argb(v, v, v, row[2 * x + 1]));
      }
      return;
    default: {  // RGBA
      int x = 0;
#if defined(__SSE2__)
      x = PremultiplyRgba(row, out, width);
#endif
      for (; x < width; ++x) {
        const uint8_t* p = row + 4 * x;
        out[x] = Premultiply(Argb(p[0], p[1], p[2], p[3]));
      }
      return;
    }
  }
}

}  // namespace mirvane::image::png
