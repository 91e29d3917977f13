#include "image/format.h"

namespace mirvane::image {

Format Sniff(std::string_view b) {
  const auto starts = [&](std::string_view magic, std::size_t at = 0) {
    return b.size() >= at + magic.size() && b.substr(at, magic.size()) == magic;
  };
  using namespace std::string_view_literals;
  if (starts("\x89PNG\r\n\x1a\n"sv)) return Format::kPng;
  if (starts("\xff\xd8\xff"sv)) return Format::kJpeg;
  if (starts("GIF87a"sv) || starts("GIF89a"sv)) return Format::kGif;
  if (starts("BM"sv)) return Format::kBmp;
  if (starts("RIFF"sv) && starts("WEBP"sv, 8)) return Format::kWebp;
  if (starts("II*\0"sv) || starts("MM\0*"sv) || starts("II+\0"sv) || starts("MM\0+"sv))
    return Format::kTiff;
  // PCX has no real signature; the reader checks the rest of the header and refuses.
  if (b.size() >= 2 && static_cast<unsigned char>(b[0]) == 0x0a &&
      static_cast<unsigned char>(b[1]) <= 5)
    return Format::kPcx;
  return Format::kUnknown;
}

}  // namespace mirvane::image
