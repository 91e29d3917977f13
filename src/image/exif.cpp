#include "image/exif.h"

#include <cstddef>
#include <cstdint>

#include "image/readers/png_chunks.h"

namespace mirvane::image {
namespace {

constexpr std::uint16_t kOrientationTag = 0x0112;
constexpr std::uint16_t kShort = 3;

// A TIFF structure (the body of an Exif segment, or a whole TIFF file).
class Tiff {
 public:
  explicit Tiff(std::string_view bytes) : bytes_(bytes) {}

  int Orientation() const {
    if (bytes_.size() < 8) return 1;
    if (bytes_.substr(0, 4) == std::string_view("II*\0", 4)) {
      little_ = true;
    } else if (bytes_.substr(0, 4) != std::string_view("MM\0*", 4)) {
      return 1;
    }
    const std::uint32_t directory = U32(4);
    if (directory < 8 || directory > bytes_.size() - 2) return 1;
    const std::uint16_t count = U16(directory);
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::size_t entry = directory + 2 + std::size_t{12} * i;
      if (entry + 12 > bytes_.size()) return 1;
      if (U16(entry) != kOrientationTag) continue;
      if (U16(entry + 2) != kShort || U32(entry + 4) != 1) return 1;
      const std::uint16_t value = U16(entry + 8);
      return value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
  }

 private:
  std::uint8_t Byte(std::size_t at) const { return static_cast<std::uint8_t>(bytes_[at]); }
  std::uint16_t U16(std::size_t at) const {
    return little_ ? static_cast<std::uint16_t>(Byte(at) | Byte(at + 1) << 8)
                   : static_cast<std::uint16_t>(Byte(at) << 8 | Byte(at + 1));
  }
  std::uint32_t U32(std::size_t at) const {
    const std::uint32_t a = U16(at), b = U16(at + 2);
    return little_ ? (b << 16 | a) : (a << 16 | b);
  }

  std::string_view bytes_;
  mutable bool little_ = false;
};

// The Exif segment's TIFF body in a JPEG, or nothing: markers up to the scan.
std::string_view JpegExif(std::string_view bytes) {
  std::size_t at = 2;
  while (at + 4 <= bytes.size()) {
    if (static_cast<std::uint8_t>(bytes[at]) != 0xff) return {};
    const auto marker = static_cast<std::uint8_t>(bytes[at + 1]);
    if (marker == 0xff) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xda || marker == 0xd9) return {};  // scan or end: no Exif before it
    const std::size_t length =
        static_cast<std::uint8_t>(bytes[at + 2]) << 8 | static_cast<std::uint8_t>(bytes[at + 3]);
    if (length < 2 || at + 2 + length > bytes.size()) return {};
    const std::string_view body = bytes.substr(at + 4, length - 2);
    if (marker == 0xe1 && body.substr(0, 6) == std::string_view("Exif\0\0", 6)) {
      return body.substr(6);
    }
    at += 2 + length;
  }
  return {};
}

std::string_view PngExif(std::string_view b) {
  std::string_view exif;
  ForEachPngChunk(b, [&](std::string_view type, std::string_view data) {
    if (type == "eXIf") exif = data;
    return exif.empty();
  });
  return exif;
}

// RIFF chunks after the 12-byte header: type, little-endian length, data padded to even.
std::string_view WebpExif(std::string_view b) {
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.data()) + at + 4;
    const std::uint32_t length = p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
    if (length > b.size() - at - 8) break;
    if (b.substr(at, 4) == "EXIF") {
      std::string_view exif = b.substr(at + 8, length);
      // Some writers keep JPEG's "Exif\0\0" prefix.
      if (exif.substr(0, 6) == std::string_view("Exif\0\0", 6)) exif.remove_prefix(6);
      return exif;
    }
    at += 8 + std::size_t(length) + (length & 1);
  }
  return {};
}

}  // namespace

std::string_view FindExif(std::string_view file, Format format) {
  if (format == Format::kPng) return PngExif(file);
  if (format == Format::kWebp) return WebpExif(file);
  return {};
}

int ExifOrientation(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<std::uint8_t>(bytes[0]) == 0xff &&
      static_cast<std::uint8_t>(bytes[1]) == 0xd8) {
    return Tiff(JpegExif(bytes)).Orientation();
  }
  return Tiff(bytes).Orientation();
}

}  // namespace mirvane::image
