// Where each format keeps its picture size; the readers check the same fields again.
#include <cstdint>

#include "image/budget.h"
#include "image/format.h"

namespace mirvane::image {
namespace {

using uchar = unsigned char;

class Bytes {
 public:
  explicit Bytes(std::string_view b) : b_(b) {}
  bool Has(std::size_t at, std::size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  std::uint32_t U8(std::size_t at) const { return static_cast<uchar>(b_[at]); }
  std::uint32_t Le16(std::size_t at) const { return U8(at) | U8(at + 1) << 8; }
  std::uint32_t Be16(std::size_t at) const { return U8(at) << 8 | U8(at + 1); }
  std::uint32_t Le24(std::size_t at) const { return Le16(at) | U8(at + 2) << 16; }
  std::uint32_t Le32(std::size_t at) const { return Le16(at) | Le16(at + 2) << 16; }
  std::uint32_t Be32(std::size_t at) const { return Be16(at) << 16 | Be16(at + 2); }
  bool Is(std::size_t at, std::string_view s) const {
    return Has(at, s.size()) && b_.substr(at, s.size()) == s;
  }

 private:
  std::string_view b_;
};

std::optional<Size> Make(std::int64_t w, std::int64_t h) {
  // Sides beyond int are over any budget; clamp so that the check still refuses them.
  const auto side = [](std::int64_t v) {
    return static_cast<int>(v > kMaxSide ? kMaxSide + 1 : v);
  };
  return Size{side(w), side(h)};
}

std::optional<Size> Jpeg(const Bytes& b) {
  std::size_t at = 2;
  while (b.Has(at, 4)) {
    if (b.U8(at) != 0xff) return std::nullopt;
    const std::uint32_t marker = b.U8(at + 1);
    if (marker == 0xff) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd9)) {  // no length
      at += 2;
      continue;
    }
    const bool frame =
        marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
    if (frame) {
      if (!b.Has(at, 9)) return std::nullopt;
      return Make(b.Be16(at + 7), b.Be16(at + 5));
    }
    at += 2 + b.Be16(at + 2);
  }
  return std::nullopt;
}

std::optional<Size> Bmp(const Bytes& b) {
  if (!b.Has(14, 12)) return std::nullopt;
  const std::uint32_t info = b.Le32(14);
  if (info == 12) return Make(b.Le16(18), b.Le16(20));
  if (!b.Has(14, 16)) return std::nullopt;
  const auto w = static_cast<std::int32_t>(b.Le32(18));
  const auto h = static_cast<std::int32_t>(b.Le32(22));
  const auto magnitude = [](std::int32_t v) { return v < 0 ? -std::int64_t{v} : std::int64_t{v}; };
  return Make(magnitude(w), magnitude(h));
}

std::optional<Size> Webp(const Bytes& b) {
  if (b.Is(12, "VP8 ") && b.Has(26, 4)) return Make(b.Le16(26) & 0x3fff, b.Le16(28) & 0x3fff);
  if (b.Is(12, "VP8L") && b.Has(21, 4)) {
    const std::uint32_t bits = b.Le32(21);
    return Make((bits & 0x3fff) + 1, ((bits >> 14) & 0x3fff) + 1);
  }
  if (b.Is(12, "VP8X") && b.Has(24, 6)) return Make(b.Le24(24) + 1, b.Le24(27) + 1);
  return std::nullopt;
}

}  // namespace

std::optional<Size> HeaderSize(Format format, std::string_view head) {
  const Bytes b(head);
  switch (format) {
    case Format::kPng:
      if (!b.Is(12, "IHDR") || !b.Has(16, 8)) return std::nullopt;
      return Make(b.Be32(16), b.Be32(20));
    case Format::kGif:
      if (!b.Has(6, 4)) return std::nullopt;
      return Make(b.Le16(6), b.Le16(8));
    case Format::kBmp:
      return Bmp(b);
    case Format::kJpeg:
      return Jpeg(b);
    case Format::kWebp:
      return Webp(b);
    case Format::kPcx: {
      if (!b.Has(4, 8)) return std::nullopt;
      const std::int64_t w = std::int64_t{b.Le16(8)} - b.Le16(4) + 1;
      const std::int64_t h = std::int64_t{b.Le16(10)} - b.Le16(6) + 1;
      if (w <= 0 || h <= 0) return std::nullopt;
      return Make(w, h);
    }
    default:
      return std::nullopt;
  }
}

bool OverBudget(Format format, Size size) {
  const std::int64_t w = size.width, h = size.height;
  if (format == Format::kJpeg) {
    return w > kMaxJpegSide || h > kMaxJpegSide || w * h > kMaxJpegPixels;
  }
  return w > kMaxSide || h > kMaxSide || w * h > kMaxPixels;
}

}  // namespace mirvane::image
