// Windows and OS/2 bitmaps, and the icons and cursors built from them. A bitmap is a
// 14-byte file header, an info header whose size names the variant, bit fields, a palette
// and rows padded to 4 bytes, bottom-up unless the height is negative. An icon's image is
// the same without the file header, its height doubled by a 1-bit AND mask after the rows.
#include "image/readers/bmp.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/budget.h"
#include "image/error.h"
#include "image/readers/png_decode.h"

namespace mirvane::image {
namespace {

using uchar = unsigned char;
using std::int64_t;
using std::uint32_t;
using std::uint64_t;

constexpr uint32_t kOpaqueBlack = 0xff000000;

// Little-endian reads that throw rather than run past the end.
class Reader {
 public:
  explicit Reader(std::string_view bytes)
      : p_(reinterpret_cast<const uchar*>(bytes.data())), size_(bytes.size()) {}
  uint64_t size() const { return size_; }
  const uchar* at(uint64_t offset) const { return p_ + offset; }
  bool Has(uint64_t offset, uint64_t count) const {
    return offset <= size_ && count <= size_ - offset;
  }
  uint32_t U8(uint64_t o) const { return Need(o, 1), p_[o]; }
  uint32_t U16(uint64_t o) const { return Need(o, 2), p_[o] | uint32_t(p_[o + 1]) << 8; }
  uint32_t U32(uint64_t o) const {
    Need(o, 4);
    return p_[o] | uint32_t(p_[o + 1]) << 8 | uint32_t(p_[o + 2]) << 16 | uint32_t(p_[o + 3]) << 24;
  }
  int64_t S32(uint64_t o) const { return std::int32_t(U32(o)); }

 private:
  void Need(uint64_t o, uint64_t n) const {
    if (!Has(o, n)) throw Error("BMP: header cut short");
  }
  const uchar* p_;
  uint64_t size_;
};

// One bit field: the value scaled to 8 bits exactly, whatever its width.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;  // 0: no such field

  static Channel Of(uint32_t mask) {
    Channel c;
    if (mask == 0) return c;
    c.mask = mask;
    c.shift = std::countr_zero(mask);
    c.max = mask >> c.shift;
    if ((uint64_t(c.max) & (uint64_t(c.max) + 1)) != 0) throw Error("BMP: bit field with gaps");
    return c;
  }
  uint32_t Get(uint32_t pixel, uint32_t absent) const {
    if (max == 0) return absent;
    const uint32_t v = (pixel & mask) >> shift;
    if (max == 255) return v;
    return uint32_t((uint64_t(v) * 510 + max) / (uint64_t(max) * 2));
  }
};

enum class Coding { kRgb, kRle8, kRle4, kRle24, kBitFields, kPng };

struct Dib {
  int64_t width = 0, height = 0;  // height of the colour image, rows
  bool top_down = false;
  int bits = 0;
  Coding coding = Coding::kRgb;
  Channel red, green, blue, alpha;
  std::vector<uint32_t> palette;  // 2^bits entries, black where the file has none
  uint64_t palette_end = 0;       // where an icon's rows begin
  std::string icc;
};

bool Contains(std::initializer_list<int> set, int64_t v) {
  return std::find(set.begin(), set.end(), v) != set.end();
}

// The info header at `at`, its bit fields and palette. `data_at` (0 when unknown) bounds
// the palette as bitmaps with short palettes count on.
Dib ParseDib(const Reader& r, uint64_t at, uint64_t data_at, bool icon) {
  Dib d;
  const uint32_t size = r.U32(at);
  uint32_t compression = 0, colours = 0;
  bool os2 = false;
  if (size == 12) {  // OS/2 1.x: 16-bit unsigned sides
    d.width = r.U16(at + 4);
    d.height = r.U16(at + 6);
    d.bits = int(r.U16(at + 10));
  } else if (size >= 16) {
    os2 = size <= 64 && !Contains({40, 52, 56}, size);
    d.width = r.S32(at + 4);
    d.height = r.S32(at + 8);
    d.bits = int(r.U16(at + 14));
    if (size >= 20) compression = r.U32(at + 16);
    if (size >= 36) colours = r.U32(at + 32);
  } else {
    throw Error("BMP: unknown header");
  }
  if (d.height < 0) {
    d.top_down = true;
    d.height = -d.height;
  }
  if (icon) d.height /= 2;
  if (d.width <= 0 || d.height <= 0) throw Error("BMP: empty picture");

  uint64_t fields_end = at + size;
  uint32_t masks[4] = {};
  if (os2 && compression == 3) throw Error("BMP: OS/2 Huffman coding not supported");
  if (os2 && compression == 4) {
    d.coding = Coding::kRle24;
  } else if (compression == 1) {
    d.coding = Coding::kRle8;
  } else if (compression == 2) {
    d.coding = Coding::kRle4;
  } else if (compression == 3 || compression == 6) {
    d.coding = Coding::kBitFields;
    if (size >= 52) {
      for (int i = 0; i < 3; ++i) masks[i] = r.U32(at + 40 + 4 * i);
      if (size >= 56) masks[3] = r.U32(at + 52);
    } else {
      const int count = compression == 6 ? 4 : 3;
      for (int i = 0; i < count; ++i) masks[i] = r.U32(fields_end + 4 * i);
      fields_end += 4 * count;
    }
  } else if (compression == 5) {
    d.coding = Coding::kPng;
  } else if (compression == 4) {
    throw Error("BMP: JPEG-coded bitmaps not supported");
  } else if (compression != 0) {
    throw Error("BMP: unknown compression");
  }

  const bool bits_fit = d.coding == Coding::kPng ||
                        (d.coding == Coding::kRgb && Contains({1, 2, 4, 8, 16, 24, 32}, d.bits)) ||
                        (d.coding == Coding::kRle8 && d.bits == 8) ||
                        (d.coding == Coding::kRle4 && d.bits == 4) ||
                        (d.coding == Coding::kRle24 && d.bits == 24) ||
                        (d.coding == Coding::kBitFields && Contains({16, 32}, d.bits));
  if (!bits_fit) throw Error("BMP: unsupported bit depth");
  if (d.coding != Coding::kPng && !WithinBudget(d.width, d.height))
    throw Error("picture too large");

  if (d.coding == Coding::kRgb && d.bits == 16) {
    masks[0] = 0x7c00, masks[1] = 0x03e0, masks[2] = 0x001f;
  } else if (d.coding == Coding::kRgb && d.bits == 32) {
    // The fourth byte is padding, but for icons, whose 32-bit images carry alpha.
    masks[0] = 0xff0000, masks[1] = 0xff00, masks[2] = 0xff;
    if (icon) masks[3] = 0xff000000;
  }
  d.red = Channel::Of(masks[0]);
  d.green = Channel::Of(masks[1]);
  d.blue = Channel::Of(masks[2]);
  d.alpha = Channel::Of(masks[3]);

  d.palette_end = fields_end;
  if (d.bits <= 8 && d.coding != Coding::kPng) {
    const int entry = size == 12 ? 3 : 4;
    const uint64_t full = uint64_t{1} << d.bits;
    const uint64_t declared = colours == 0 || colours > full ? full : colours;
    uint64_t count = declared;
    if (data_at > fields_end) count = std::min(count, (data_at - fields_end) / entry);
    d.palette_end = fields_end + count * entry;
    count = fields_end < r.size() ? std::min(count, (r.size() - fields_end) / entry) : 0;
    d.palette.assign(full, kOpaqueBlack);
    for (uint64_t i = 0; i < count; ++i) {
      const uchar* c = r.at(fields_end + i * entry);
      d.palette[i] = kOpaqueBlack | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | c[0];
    }
  }

  // A V5 header may carry its own profile; a linked one names a file we do not open.
  if (size >= 124 && r.U32(at + 56) == 0x4d424544) {  // 'MBED'
    const uint64_t profile_at = at + uint64_t(r.U32(at + 112));
    const uint32_t profile_size = r.U32(at + 116);
    if (profile_size > 0 && r.Has(profile_at, profile_size))
      d.icc.assign(reinterpret_cast<const char*>(r.at(profile_at)), profile_size);
  }
  return d;
}

Picture FromPng(std::string_view bytes) {
  // A box as large as any picture may be keeps the icon at its own size.
  const int side = int(kMaxSide);
  PngPicture png = DecodePng(bytes, {side, side});
  Picture picture;
  picture.full = png.full;
  picture.pixels.width = png.size.width;
  picture.pixels.height = png.size.height;
  picture.pixels.has_alpha = png.has_alpha;
  picture.pixels.argb = std::move(png.argb);
  picture.premultiplied = true;
  picture.icc = std::move(png.colour.icc);
  return picture;
}

class Canvas {
 public:
  Canvas(const Dib& d, std::vector<uint32_t>& argb) : d_(d), argb_(argb) {}
  // Row `row` in file order, as a pointer to its pixels top to bottom.
  uint32_t* Row(int64_t row) const {
    const int64_t y = d_.top_down ? row : d_.height - 1 - row;
    return argb_.data() + y * d_.width;
  }

 private:
  const Dib& d_;
  std::vector<uint32_t>& argb_;
};

uint32_t FromMasks(const Dib& d, uint32_t v) {
  return d.alpha.Get(v, 255) << 24 | d.red.Get(v, 0) << 16 | d.green.Get(v, 0) << 8 |
         d.blue.Get(v, 0);
}

void DecodeRow(const Dib& d, const uchar* p, uint32_t* out) {
  const int64_t w = d.width;
  switch (d.bits) {
    case 1:
    case 2:
    case 4:
    case 8: {
      const int per_byte = 8 / d.bits;
      const uint32_t low = (1u << d.bits) - 1;
      for (int64_t x = 0; x < w; ++x) {
        const int shift = 8 - d.bits * int(x % per_byte + 1);
        out[x] = d.palette[(p[x / per_byte] >> shift) & low];
      }
      break;
    }
    case 16:
      for (int64_t x = 0; x < w; ++x) out[x] = FromMasks(d, p[2 * x] | uint32_t(p[2 * x + 1]) << 8);
      break;
    case 24:
      for (int64_t x = 0; x < w; ++x, p += 3)
        out[x] = kOpaqueBlack | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
      break;
    case 32:
      for (int64_t x = 0; x < w; ++x, p += 4) {
        const uint32_t v = p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        out[x] = FromMasks(d, v);
      }
      break;
  }
}

// Rows in file order as far as the file holds them; the number read.
int64_t DecodeRows(const Reader& r, const Dib& d, uint64_t data_at, std::vector<uint32_t>& argb) {
  const int64_t stride = (d.width * d.bits + 31) / 32 * 4;
  const int64_t row_bytes = (d.width * d.bits + 7) / 8;
  const Canvas canvas(d, argb);
  int64_t row = 0;
  for (; row < d.height && r.Has(data_at + uint64_t(row * stride), uint64_t(row_bytes)); ++row)
    DecodeRow(d, r.at(data_at + uint64_t(row * stride)), canvas.Row(row));
  return row;
}

// RLE4, RLE8 and OS/2's RLE24. What no run reaches (skipped by a delta, left by an early
// end) stays transparent; runs past the right edge are clipped, not wrapped.
void DecodeRle(const Reader& r, const Dib& d, uint64_t at, std::vector<uint32_t>& argb) {
  const Canvas canvas(d, argb);
  int64_t x = 0, row = 0;
  const auto put = [&](uint32_t colour) {
    if (x < d.width) canvas.Row(row)[x] = colour;
    ++x;
  };
  const auto bgr = [&](uint64_t o) {
    const uchar* c = r.at(o);
    return kOpaqueBlack | uint32_t(c[2]) << 16 | uint32_t(c[1]) << 8 | c[0];
  };
  const int pixel_bytes = d.coding == Coding::kRle24 ? 3 : 1;
  while (row < d.height && r.Has(at, 2)) {
    const uint32_t count = r.U8(at), value = r.U8(at + 1);
    const int64_t start = x;
    if (count > 0) {  // a run of one colour, or of RLE4's two alternating colours
      if (d.coding == Coding::kRle24) {
        if (!r.Has(at + 1, 3)) break;
        const uint32_t colour = bgr(at + 1);
        for (uint32_t i = 0; i < count && x < d.width; ++i) put(colour);
        at += 4;
        x = start + count;
      } else {
        const uint32_t a = d.coding == Coding::kRle4 ? value >> 4 : value;
        const uint32_t b = d.coding == Coding::kRle4 ? value & 15 : value;
        for (uint32_t i = 0; i < count && x < d.width; ++i) put(d.palette[i % 2 ? b : a]);
        at += 2;
        x = start + count;
      }
      continue;
    }
    at += 2;
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // delta
      if (!r.Has(at, 2)) break;
      x += r.U8(at);
      row += r.U8(at + 1);
      at += 2;
    } else {  // `value` pixels as they are, padded to a 16-bit boundary
      const uint64_t bytes = d.coding == Coding::kRle4 ? (value + 1) / 2 : value * pixel_bytes;
      const bool whole = r.Has(at, bytes);
      for (uint32_t i = 0; i < value && x < d.width; ++i) {
        if (d.coding == Coding::kRle24) {
          if (!r.Has(at + 3 * i, 3)) break;
          put(bgr(at + 3 * i));
        } else if (d.coding == Coding::kRle4) {
          if (!r.Has(at + i / 2, 1)) break;
          put(d.palette[i % 2 ? r.U8(at + i / 2) & 15 : r.U8(at + i / 2) >> 4]);
        } else {
          if (!r.Has(at + i, 1)) break;
          put(d.palette[r.U8(at + i)]);
        }
      }
      if (!whole) break;
      x = start + value;
      at += (bytes + 1) & ~uint64_t{1};
    }
  }
}

// A picture whose alpha is all zero was written by a program that did not mean alpha:
// made opaque, and false returned. Only the pixels [first, last) were decoded.
bool AlphaMeant(std::vector<uint32_t>& argb, size_t first, size_t last) {
  for (size_t i = first; i < last; ++i)
    if (argb[i] >> 24) return true;
  for (size_t i = first; i < last; ++i) argb[i] |= kOpaqueBlack;
  return false;
}

bool AnyClear(const std::vector<uint32_t>& argb) {
  return std::any_of(argb.begin(), argb.end(), [](uint32_t p) { return (p >> 24) != 0xff; });
}

Picture Decode(const Reader& r, const Dib& d, uint64_t data_at, bool icon) {
  if (d.coding == Coding::kPng) {
    if (data_at >= r.size()) throw Error("BMP: no pixel data");
    return FromPng(
        std::string_view(reinterpret_cast<const char*>(r.at(data_at)), size_t(r.size() - data_at)));
  }
  if (data_at >= r.size()) throw Error("BMP: no pixel data");
  Picture picture;
  Pixels& px = picture.pixels;
  px.width = int(d.width);
  px.height = int(d.height);
  px.argb.assign(size_t(d.width * d.height), 0);
  picture.full = {px.width, px.height};
  picture.icc = d.icc;

  if (d.coding == Coding::kRle4 || d.coding == Coding::kRle8 || d.coding == Coding::kRle24) {
    DecodeRle(r, d, data_at, px.argb);
  } else {
    const int64_t rows = DecodeRows(r, d, data_at, px.argb);
    if (rows == 0) throw Error("BMP: no pixel data");
    const int64_t first = d.top_down ? 0 : d.height - rows;
    // Narrower alpha fields are chosen on purpose; a 32-bit one may be padding.
    const bool alpha =
        d.alpha.max && (d.bits != 32 || AlphaMeant(px.argb, size_t(first * d.width),
                                                   size_t((first + rows) * d.width)));
    const bool masked = icon && !alpha;
    if (masked) {  // the AND mask: set bits are transparent
      const int64_t stride = (d.width * d.bits + 31) / 32 * 4;
      const int64_t mask_stride = (d.width + 31) / 32 * 4;
      const uint64_t mask_at = data_at + uint64_t(stride * d.height);
      const Canvas canvas(d, px.argb);
      for (int64_t row = 0; row < rows; ++row) {
        const uint64_t o = mask_at + uint64_t(row * mask_stride);
        if (!r.Has(o, uint64_t(mask_stride))) break;
        const uchar* m = r.at(o);
        uint32_t* out = canvas.Row(row);
        for (int64_t x = 0; x < d.width; ++x)
          if ((m[x / 8] >> (7 - x % 8)) & 1) out[x] = 0;
      }
    }
  }
  px.has_alpha = AnyClear(px.argb);
  return picture;
}

constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

}  // namespace

Picture ReadBmp(std::string_view bytes) {
  if (bytes.size() < 18 || bytes.substr(0, 2) != "BM") throw Error("not a BMP file");
  const Reader r(bytes);
  const uint64_t data_at = r.U32(10);
  const Dib d = ParseDib(r, 14, data_at, false);
  // An offset inside the headers is a writer's slip; the rows follow the palette then.
  return Decode(r, d, data_at >= d.palette_end ? data_at : d.palette_end, false);
}

Picture ReadIco(std::string_view bytes) {
  const Reader r(bytes);
  if (bytes.size() < 6 || r.U16(0) != 0 || (r.U16(2) != 1 && r.U16(2) != 2))
    throw Error("not an icon file");
  struct Entry {
    uint64_t at;
    int64_t pixels;
    int bits;
    bool png;
  };
  std::vector<Entry> entries;
  const uint32_t count = r.U16(4);
  for (uint32_t i = 0; i < count && r.Has(6 + 16 * i, 16); ++i) {
    const uint64_t at = r.U32(6 + 16 * i + 12);
    if (!r.Has(at, 26)) continue;
    // The image's own header rather than the directory, which writers get wrong.
    if (bytes.substr(at, 8) == kPngSignature) {
      const uint64_t w =
          uint64_t(r.U8(at + 16)) << 24 | r.U8(at + 17) << 16 | r.U8(at + 18) << 8 | r.U8(at + 19);
      const uint64_t h =
          uint64_t(r.U8(at + 20)) << 24 | r.U8(at + 21) << 16 | r.U8(at + 22) << 8 | r.U8(at + 23);
      const int channels[] = {1, 0, 3, 1, 2, 0, 4};
      const uint32_t type = r.U8(at + 25);
      const int bits = int(r.U8(at + 24)) * (type < 7 ? channels[type] : 0);
      entries.push_back({at,
                         int64_t(std::min(w, uint64_t{1} << 31) * std::min(h, uint64_t{1} << 31)),
                         bits, true});
    } else if (r.Has(at, 16)) {
      const int64_t w = r.S32(at + 4), h = r.S32(at + 8) / 2;
      entries.push_back({at, std::abs(w) * std::abs(h), int(r.U16(at + 14)), false});
    }
  }
  if (entries.empty()) throw Error("ICO: no image");
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return a.pixels != b.pixels ? a.pixels > b.pixels : a.bits > b.bits;
  });
  // The best image that reads; a damaged one gives way to the next.
  for (size_t i = 0;; ++i) {
    const Entry& e = entries[i];
    try {
      if (e.png) return FromPng(bytes.substr(e.at));
      const Dib d = ParseDib(r, e.at, 0, true);
      return Decode(r, d, d.palette_end, true);
    } catch (const Error&) {
      if (i + 1 == entries.size()) throw;
    }
  }
}

}  // namespace mirvane::image
