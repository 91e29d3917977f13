#pragma once

#include <string_view>

namespace mirvane::image {

enum class Format { kUnknown, kBmp, kJpeg, kPng, kGif, kTiff, kWebp, kPcx };

// The format told by the file's first bytes; the name's extension plays no part.
Format Sniff(std::string_view bytes);

}  // namespace mirvane::image
