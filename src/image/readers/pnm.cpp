#include "image/readers/pnm.h"

#include <cctype>
#include <algorithm>
#include <cstdint>

#include "image/budget.h"
#include "image/error.h"

namespace mirvane::image {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view bytes) : b_(bytes) {}

  // The next header number, after blanks and comments.
  std::int64_t Number() {
    for (;;) {
      while (at_ < b_.size() && std::isspace(static_cast<unsigned char>(b_[at_]))) ++at_;
      if (at_ < b_.size() && b_[at_] == '#') {
        while (at_ < b_.size() && b_[at_] != '\n' && b_[at_] != '\r') ++at_;
        continue;
      }
      break;
    }
    if (at_ >= b_.size() || !std::isdigit(static_cast<unsigned char>(b_[at_])))
      throw Error("PNM: bad header");
    std::int64_t n = 0;
    while (at_ < b_.size() && std::isdigit(static_cast<unsigned char>(b_[at_]))) {
      n = n * 10 + (b_[at_++] - '0');
      if (n > (1 << 30)) throw Error("PNM: bad header");
    }
    return n;
  }
  // One plain-text sample; P1 bits may stand without blanks between them.
  unsigned Text(bool bit) {
    if (!bit) return unsigned(Number());
    while (at_ < b_.size() && (std::isspace(static_cast<unsigned char>(b_[at_])) || b_[at_] == '#')) {
      if (b_[at_] == '#') {
        while (at_ < b_.size() && b_[at_] != '\n') ++at_;
      } else {
        ++at_;
      }
    }
    if (at_ >= b_.size() || (b_[at_] != '0' && b_[at_] != '1')) throw Error("PNM: data cut short");
    return b_[at_++] == '1';
  }
  // Binary data begins after exactly one blank.
  std::string_view Rest() {
    ++at_;
    return at_ <= b_.size() ? b_.substr(at_) : std::string_view();
  }

 private:
  std::string_view b_;
  std::size_t at_ = 2;
};

}  // namespace

Pixels ReadPnm(std::string_view bytes) {
  if (bytes.size() < 3 || bytes[0] != 'P' || bytes[1] < '1' || bytes[1] > '6')
    throw Error("not a PNM file");
  const int kind = bytes[1] - '0';
  const bool bitmap = kind == 1 || kind == 4;
  const bool grey = kind == 2 || kind == 5;
  const bool binary = kind >= 4;
  Parser parser(bytes);
  const std::int64_t width = parser.Number();
  const std::int64_t height = parser.Number();
  const std::int64_t max = bitmap ? 1 : parser.Number();
  if (!WithinBudget(width, height)) throw Error("PNM: picture too large");
  if (max < 1 || max > 65535) throw Error("PNM: bad maximum value");
  const int channels = bitmap || grey ? 1 : 3;
  const std::size_t sample_bytes = max > 255 ? 2 : 1;
  std::string_view data;
  if (binary) {
    data = parser.Rest();
    const std::size_t row = bitmap ? std::size_t((width + 7) / 8)
                                   : std::size_t(width) * std::size_t(channels) * sample_bytes;
    if (data.size() / row < std::size_t(height)) throw Error("PNM: data cut short");
  }
  Pixels out;
  out.width = int(width);
  out.height = int(height);
  out.argb.resize(std::size_t(width) * std::size_t(height));
  std::size_t at = 0;
  const auto sample = [&]() -> unsigned {
    if (!binary) return parser.Text(bitmap);
    unsigned v = static_cast<unsigned char>(data[at++]);
    if (sample_bytes == 2) v = v << 8 | static_cast<unsigned char>(data[at++]);
    return v;
  };
  const auto level = [&](unsigned v) -> std::uint32_t {
    return std::uint32_t((std::min<std::int64_t>(v, max) * 255 + max / 2) / max);
  };
  for (std::int64_t y = 0; y < height; ++y) {
    std::uint32_t* row = out.argb.data() + std::size_t(y) * std::size_t(width);
    for (std::int64_t x = 0; x < width; ++x) {
      if (bitmap) {
        unsigned ink;
        if (binary) {
          const unsigned char byte =
              static_cast<unsigned char>(data[std::size_t(y) * std::size_t((width + 7) / 8) + std::size_t(x / 8)]);
          ink = (byte >> (7 - x % 8)) & 1;
        } else {
          ink = sample();
        }
        row[x] = ink ? 0xff000000u : 0xffffffffu;  // 1 is black
      } else if (grey) {
        const std::uint32_t g = level(sample());
        row[x] = 0xff000000u | g << 16 | g << 8 | g;
      } else {
        const std::uint32_t r = level(sample()), g = level(sample()), b = level(sample());
        row[x] = 0xff000000u | r << 16 | g << 8 | b;
      }
    }
  }
  return out;
}

}  // namespace mirvane::image
