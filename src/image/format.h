#pragma once

#include <string_view>

namespace mirvane::image {

enum class Format {
  kUnknown,
  kBmp,
  kJpeg,
  kPng,
  kGif,
  kTiff,
  kWebp,
  kPcx,
  kHeif,  // HEIC and other HEVC-coded HEIF
  kAvif,
  kJxl,
  kSvg,
  kTga,
  kRaw,  // camera raw: CR2, CR3, NEF, ARW, DNG, ORF, RAF, RW2 and kin
};

// The format told by the file's first bytes (a few kilobytes are enough: camera raw in a
// TIFF container is told by its first directory). `name` is looked at only for TGA,
// which has no signature: a plausible TGA header counts when the bytes given end in
// TGA's footer (the whole file was given) or, as a last resort, the name ends in .tga.
Format Sniff(std::string_view bytes, std::string_view name = {});

}  // namespace mirvane::image
