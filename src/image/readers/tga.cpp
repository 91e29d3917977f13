// Truevision TGA: an 18-byte header, an ID field, a colour map, then the pixels raw or in
// run-length packets, from the corner the descriptor names. TGA 2.0 adds a footer that
// points to an extension area saying what the alpha channel means.
#include "image/readers/tga.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

using uchar = unsigned char;
using std::int64_t;
using std::uint32_t;
using std::uint64_t;

constexpr uint32_t kOpaque = 0xff000000;
constexpr uint64_t kHeaderSize = 18;
constexpr std::string_view kSignature("TRUEVISION-XFILE.\0", 18);

enum class Alpha { kNone, kStraight, kPremultiplied };

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

uint32_t Scale5(uint32_t v) { return (v * 510 + 31) / 62; }

// 5-5-5 with the top bit as attribute: alpha when it carries any.
uint32_t From16(const uchar* p) {
  const uint32_t v = p[0] | uint32_t(p[1]) << 8;
  return Argb(v & 0x8000 ? 255 : 0, Scale5(v >> 10 & 31), Scale5(v >> 5 & 31), Scale5(v & 31));
}

// Colour-map entries and true-colour pixels share their layouts.
uint32_t FromColour(const uchar* p, int bits) {
  switch (bits) {
    case 15:
    case 16:
      return From16(p);
    case 24:
      return Argb(255, p[2], p[1], p[0]);
    default:
      return Argb(p[3], p[2], p[1], p[0]);
  }
}

// Pixels arrive in file order; this puts each where the origin bits say.
class Placer {
 public:
  Placer(std::vector<uint32_t>& argb, int64_t w, int64_t h, bool right_to_left, bool top_down)
      : argb_(argb), w_(w), h_(h), rtl_(right_to_left), top_(top_down) {
    row_ = Row(0);
  }
  bool Full() const { return r_ == h_; }
  void Put(uint32_t v) {
    row_[rtl_ ? w_ - 1 - c_ : c_] = v;
    if (++c_ == w_) {
      c_ = 0;
      if (++r_ < h_) row_ = Row(r_);
    }
  }
  // Calls f on every pixel placed so far.
  template <class F>
  void ForPlaced(F f) const {
    for (int64_t r = 0; r <= r_ && r < h_; ++r) {
      uint32_t* row = Row(r);
      const int64_t n = r < r_ ? w_ : c_;
      for (int64_t c = 0; c < n; ++c) f(row[rtl_ ? w_ - 1 - c : c]);
    }
  }

 private:
  uint32_t* Row(int64_t r) const { return argb_.data() + (top_ ? r : h_ - 1 - r) * w_; }
  std::vector<uint32_t>& argb_;
  int64_t w_, h_;
  bool rtl_, top_;
  int64_t r_ = 0, c_ = 0;
  uint32_t* row_;
};

uint32_t U16(const uchar* p) { return p[0] | uint32_t(p[1]) << 8; }

}  // namespace

Picture ReadTga(std::string_view bytes) {
  const auto* data = reinterpret_cast<const uchar*>(bytes.data());
  const uint64_t size = bytes.size();
  if (size < kHeaderSize) throw Error("TGA: header cut short");
  const uint32_t id_length = data[0], map_type = data[1], type = data[2];
  const uint32_t map_first = U16(data + 3), map_length = U16(data + 5), map_bits = data[7];
  const int64_t width = U16(data + 12), height = U16(data + 14);
  const int bits = data[16];
  const uint32_t descriptor = data[17];

  const uint32_t kind = type & ~8u;  // 1 mapped, 2 true-colour, 3 grey; +8 run-length
  const bool rle = type & 8;
  if (type < 1 || kind > 3) throw Error("TGA: unknown image type");
  if (map_type > 1) throw Error("TGA: unknown colour map type");
  const bool bits_fit = (kind == 1 && (bits == 8 || bits == 16) && map_type == 1) ||
                        (kind == 2 && (bits == 15 || bits == 16 || bits == 24 || bits == 32)) ||
                        (kind == 3 && (bits == 8 || bits == 16));
  if (!bits_fit) throw Error("TGA: unsupported pixel depth");
  if (!WithinBudget(width, height)) throw Error("TGA: empty or too large picture");

  uint64_t at = kHeaderSize + id_length;
  std::vector<uint32_t> map;
  if (map_type == 1) {  // read for colour-mapped pictures, skipped for the others
    const uint64_t entry = (map_bits + 7) / 8;
    if (kind == 1 && map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32)
      throw Error("TGA: unsupported colour map depth");
    if (at > size || map_length * entry > size - at) throw Error("TGA: colour map cut short");
    if (kind == 1) {
      map.resize(map_length);
      for (uint32_t i = 0; i < map_length; ++i)
        map[i] = FromColour(data + at + i * entry, int(map_bits));
    }
    at += map_length * entry;
  }
  if (at >= size) throw Error("TGA: no pixel data");

  // Where the alpha comes from and what it means: 16-bit pixels' attribute bit only when
  // the descriptor counts it; 32-bit pixels' byte unless the extension says otherwise.
  const int colour_bits = kind == 1 ? int(map_bits) : bits;
  Alpha alpha = Alpha::kNone;
  if (colour_bits == 32 || (kind == 3 && bits == 16)) alpha = Alpha::kStraight;
  if (colour_bits == 16 && (descriptor & 15) != 0) alpha = Alpha::kStraight;
  if (size >= kHeaderSize + 26 && bytes.substr(size - 18) == kSignature) {
    const uchar* footer = data + size - 26;
    const uint64_t extension = footer[0] | uint32_t(footer[1]) << 8 | uint32_t(footer[2]) << 16 |
                               uint64_t(footer[3]) << 24;
    if (extension >= kHeaderSize && extension + 495 <= size - 26 && U16(data + extension) >= 495 &&
        alpha != Alpha::kNone) {
      const uint32_t attribute = data[extension + 494];
      alpha = attribute == 3   ? Alpha::kStraight
              : attribute == 4 ? Alpha::kPremultiplied
                               : Alpha::kNone;
    }
  }

  const int pixel_bytes = (bits + 7) / 8;
  const auto pixel = [&](const uchar* p) -> uint32_t {
    if (kind == 1) {
      const uint32_t index = bits == 16 ? U16(p) : p[0];
      // Out of the map: black, as palette readers do.
      return index >= map_first && index - map_first < map.size() ? map[index - map_first]
                                                                  : kOpaque;
    }
    if (kind == 3) return Argb(bits == 16 ? p[1] : 255, p[0], p[0], p[0]);
    return FromColour(p, bits);
  };

  Picture picture;
  Pixels& px = picture.pixels;
  px.width = int(width);
  px.height = int(height);
  px.argb.assign(size_t(width * height), 0);
  picture.full = {px.width, px.height};
  Placer placer(px.argb, width, height, descriptor & 0x10, descriptor & 0x20);

  // What the file holds of the picture; the rest stays transparent. Packets may run on
  // from one row to the next; one past the last pixel is cut.
  if (rle) {
    while (!placer.Full() && at < size) {
      const uint32_t head = data[at++];
      const uint32_t count = (head & 0x7f) + 1;
      if (head & 0x80) {
        if (pixel_bytes > int64_t(size - at)) break;
        const uint32_t v = pixel(data + at);
        at += pixel_bytes;
        for (uint32_t i = 0; i < count && !placer.Full(); ++i) placer.Put(v);
      } else {
        for (uint32_t i = 0; i < count && !placer.Full() && pixel_bytes <= int64_t(size - at);
             ++i, at += pixel_bytes)
          placer.Put(pixel(data + at));
      }
    }
  } else {
    const uint64_t n = std::min<uint64_t>(uint64_t(width * height), (size - at) / pixel_bytes);
    for (uint64_t i = 0; i < n; ++i, at += pixel_bytes) placer.Put(pixel(data + at));
  }

  bool any_alpha = false;
  placer.ForPlaced([&](uint32_t& v) { any_alpha = any_alpha || (v >> 24) != 0; });
  // All-clear alpha is a writer that filled the byte without meaning it.
  if (alpha == Alpha::kNone || !any_alpha) {
    placer.ForPlaced([](uint32_t& v) { v |= kOpaque; });
  } else if (alpha == Alpha::kPremultiplied) {
    placer.ForPlaced([](uint32_t& v) {
      const uint32_t a = v >> 24;
      const auto straight = [a](uint32_t c) {
        return a ? std::min(255u, (c * 255 + a / 2) / a) : 0;
      };
      v = Argb(a, straight(v >> 16 & 255), straight(v >> 8 & 255), straight(v & 255));
    });
  }
  px.has_alpha =
      std::any_of(px.argb.begin(), px.argb.end(), [](uint32_t v) { return v >> 24 != 255; });
  return picture;
}

}  // namespace mirvane::image
