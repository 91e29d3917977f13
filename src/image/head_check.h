#pragma once

#include <cstdint>
#include <string_view>

#include "image/format.h"

namespace mirvane::image {

// What the first bytes `head` of a file of `size` bytes tell before the rest is read.
// Throws Error for an empty file ("empty file"), a file over the file budget
// ("file too large") and a picture whose header is over budget ("picture too large").
// Returns the format Sniff tells; kUnknown leaves it to the back-end's codecs to tell from
// the same bytes. `name` serves only formats without a signature (TGA).
Format CheckHead(std::string_view head, std::int64_t size, std::string_view name = {});

}  // namespace mirvane::image
