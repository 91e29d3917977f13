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

// The format told by the file's first bytes (a few kilobytes are enough). `name` is
// looked at only for TGA, which has no signature: a plausible TGA header counts when
// the file ends in TGA's footer or, as a last resort, is named *.tga.
Format Sniff(std::string_view bytes, std::string_view name = {});

}  // namespace mirvane::image
