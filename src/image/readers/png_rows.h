#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace mirvane::image::png {

// PNG colour types.
enum ColourType { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgba = 6 };

// Undoes one row's filter in place. `row` holds `length` bytes, `prior` the row above as
// already unfiltered (zeros above the first row), `bpp` the bytes of one pixel, rounded up
// to at least 1. Throws Error on a filter type that does not exist.
void Unfilter(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length,
              int bpp);

// Undoes the Paeth filter of two rows at once, `second` right below `first`, as two calls
// of Unfilter would: their work interleaves, which takes little more time than one row.
void UnfilterPaethPair(std::uint8_t* first, std::uint8_t* second, const std::uint8_t* prior,
                       std::size_t length, int bpp);

// What the picture's tRNS chunk says: palette alphas, or the one transparent sample value
// (grey, or red, green, blue) of pictures without an alpha channel.
struct Transparency {
  std::array<std::uint8_t, 256> alphas{};  // palette entries beyond `count` are opaque
  int count = 0;                           // palette entries given
  bool has_key = false;
  std::uint16_t key[3] = {};
};

// Turns unfiltered rows of one picture into premultiplied 0xAARRGGBB pixels, with the
// values Qt's PNG reader gives once converted to a premultiplied 32-bit image: 16-bit
// samples premultiplied and then rounded to 8 bits, low bit depths stretched to 0..255,
// palette indices past the palette taken as the first entry.
class RowConverter {
 public:
  // `palette` holds `palette_size` RGB triples (palette pictures only).
  RowConverter(int colour_type, int bit_depth, const std::uint8_t* palette, int palette_size,
               const Transparency& transparency);

  // `width` pixels from `row` into `out`.
  void Convert(const std::uint8_t* row, std::uint32_t* out, int width) const;
  // False when every pixel is opaque whatever the rows hold.
  bool has_alpha() const { return has_alpha_; }

 private:
  void Indexed(const std::uint8_t* row, std::uint32_t* out, int width) const;
  void Wide(const std::uint8_t* row, std::uint32_t* out, int width) const;

  int colour_type_, bit_depth_;
  bool has_alpha_ = false;
  Transparency transparency_;
  std::array<std::uint32_t, 256> lookup_{};  // palette and low-depth grey values
};

}  // namespace mirvane::image::png
