#pragma once

#include <optional>
#include <string_view>

#include "image/fit.h"

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
  kIco,  // Windows icons and cursors
  kPnm,  // the portable bitmap, grey map and pixmap
};

// The format told by the file's first bytes (a few kilobytes are enough: camera raw in a
// TIFF container is told by its first directory). `name` is looked at only for TGA,
// which has no signature: a plausible TGA header counts when the bytes given end in
// TGA's footer (the whole file was given) or, as a last resort, the name ends in .tga.
Format Sniff(std::string_view bytes, std::string_view name = {});

// How many first bytes Sniff and HeaderSize need at most, short of a JPEG whose metadata
// pushes its frame header further.
inline constexpr std::size_t kHeadBytes = 64 * 1024;

// The picture's size as its header tells it, from the file's first bytes, for the formats
// that put it at a known place (not TIFF); nothing when the bytes do not say.
std::optional<Size> HeaderSize(Format format, std::string_view head);

// Whether a picture the header says is `size` is too large to decode, by the budget the
// readers apply: JPEG decodes at a reduced size and has its own bound.
bool OverBudget(Format format, Size size);

}  // namespace mirvane::image
