// ZSoft PCX: a 128-byte header, then each scan line as `planes` runs of `bytes_per_line`
// bytes, run-length coded; 256-colour files end in 0x0C and a 768-byte palette.
#include "image/readers/pcx.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

using uchar = unsigned char;
using Rgb = std::uint32_t;

constexpr Rgb Argb(int r, int g, int b, int a = 255) {
  return (Rgb(a) << 24) | (Rgb(r) << 16) | (Rgb(g) << 8) | Rgb(b);
}

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteSize = 769;  // marker and 256 RGB triples

struct Header {
  int version, encoding, bits, planes, bytes_per_line;
  int width, height;
};

int U16(const uchar* p) { return p[0] | (p[1] << 8); }

Header ParseHeader(const uchar* p) {
  Header h{};
  if (p[0] != 0x0a) throw Error("not a PCX file");
  h.version = p[1];
  h.encoding = p[2];
  h.bits = p[3];
  const int xmin = U16(p + 4), ymin = U16(p + 6), xmax = U16(p + 8), ymax = U16(p + 10);
  h.planes = p[65];
  h.bytes_per_line = U16(p + 66);
  if (h.version > 5 || h.version == 1) throw Error("PCX: unknown version");
  if (h.encoding > 1) throw Error("PCX: unknown encoding");
  if (xmax < xmin || ymax < ymin) throw Error("PCX: bad picture window");
  h.width = xmax - xmin + 1;
  h.height = ymax - ymin + 1;
  const bool supported = (h.bits == 1 && h.planes >= 1 && h.planes <= 4) ||
                         (h.bits == 2 && h.planes == 1) || (h.bits == 4 && h.planes == 1) ||
                         (h.bits == 8 && (h.planes == 1 || h.planes == 3 || h.planes == 4));
  if (!supported) throw Error("PCX: unsupported bit depth or plane count");
  if (h.bytes_per_line < (h.width * h.bits + 7) / 8) throw Error("PCX: scan line too short");
  if (!WithinBudget(h.width, h.height)) throw Error("picture too large");
  return h;
}

// Unpacks the coded stream; runs may cross scan lines, as many writers let them.
class Unpacker {
 public:
  Unpacker(const uchar* data, std::size_t size, bool coded)
      : p_(data), end_(data + size), coded_(coded) {}

  void Fill(uchar* out, int count) {
    while (count > 0) {
      if (run_ > 0) {
        const int n = std::min(run_, count);
        std::fill_n(out, n, value_);
        out += n, count -= n, run_ -= n;
        continue;
      }
      if (p_ == end_) throw Error("PCX: picture data cut short");
      const uchar b = *p_++;
      if (!coded_ || (b & 0xc0) != 0xc0) {
        *out++ = b, --count;
        continue;
      }
      if (p_ == end_) throw Error("PCX: run without value");
      run_ = b & 0x3f;
      value_ = *p_++;
      if (run_ == 0) throw Error("PCX: empty run");
    }
  }
  // A run left over after the last line writes past the picture.
  bool Overran() const { return run_ > 0; }

 private:
  const uchar* p_;
  const uchar* end_;
  bool coded_;
  int run_ = 0;
  uchar value_ = 0;
};

std::array<Rgb, 256> Palette(const Header& h, const uchar* header, const uchar* trailer) {
  std::array<Rgb, 256> palette{};
  if (h.bits == 8 && h.planes == 1) {
    for (int i = 0; i < 256; ++i) {
      palette[i] = trailer ? Argb(trailer[1 + 3 * i], trailer[2 + 3 * i], trailer[3 + 3 * i])
                           : Argb(i, i, i);  // no palette: grey levels, as readers commonly do
    }
  } else if (h.bits == 1 && h.planes == 1) {
    palette[0] = Argb(0, 0, 0);
    palette[1] = Argb(255, 255, 255);
  } else {
    for (int i = 0; i < 16; ++i) {
      const uchar* c = header + 16 + 3 * i;
      palette[i] = Argb(c[0], c[1], c[2]);
    }
  }
  return palette;
}

int PlanarIndex(const uchar* line, int bytes_per_line, int planes, int bits, int x) {
  int index = 0;
  for (int plane = 0; plane < planes; ++plane) {
    const uchar* row = line + plane * bytes_per_line;
    int value;
    if (bits == 8)
      value = row[x];
    else if (bits == 4)
      value = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0x0f;
    else if (bits == 2)
      value = (row[x / 4] >> (6 - 2 * (x % 4))) & 0x03;
    else
      value = (row[x / 8] >> (7 - x % 8)) & 0x01;
    index |= value << (plane * bits);
  }
  return index;
}

}  // namespace

Pixels DecodePcx(std::string_view bytes) {
  if (bytes.size() < kHeaderSize) throw Error("PCX: header cut short");
  const auto* data = reinterpret_cast<const uchar*>(bytes.data());
  const Header h = ParseHeader(data);

  std::size_t end = bytes.size();
  const uchar* trailer = nullptr;
  if (h.bits == 8 && h.planes == 1 && end - kHeaderSize >= kPaletteSize &&
      data[end - kPaletteSize] == 0x0c) {
    trailer = data + end - kPaletteSize;
    end -= kPaletteSize;
  }
  const auto palette = Palette(h, data, trailer);
  const bool rgb = h.bits == 8 && h.planes >= 3;

  Pixels image;
  image.width = h.width;
  image.height = h.height;
  image.has_alpha = rgb && h.planes == 4;
  image.argb.resize(std::size_t(h.width) * std::size_t(h.height));
  std::vector<uchar> line(std::size_t(h.bytes_per_line) * h.planes);
  Unpacker unpacker(data + kHeaderSize, end - kHeaderSize, h.encoding == 1);
  for (int y = 0; y < h.height; ++y) {
    unpacker.Fill(line.data(), int(line.size()));
    Rgb* out = image.argb.data() + std::size_t(y) * h.width;
    const uchar* l = line.data();
    const int bpl = h.bytes_per_line;
    for (int x = 0; x < h.width; ++x) {
      if (rgb) {
        out[x] = Argb(l[x], l[bpl + x], l[2 * bpl + x], h.planes == 4 ? l[3 * bpl + x] : 255);
      } else {
        out[x] = palette[PlanarIndex(l, bpl, h.planes, h.bits, x)];
      }
    }
  }
  if (unpacker.Overran()) throw Error("PCX: run past the end of the picture");
  return image;
}

}  // namespace mirvane::image
