#pragma once

#include <string>

#include "image/decoded.h"
#include "image/host.h"
#include "image/preparer.h"

namespace mirvane::image {

// What a slot shows after Render: a picture (or animation) decoded for its box, turned
// `quarter_turns` (0 or 1) clockwise.
struct Supplied {
  Decoded decoded;
  int quarter_turns = 0;
};

// The picture of `name` fitted to `box`, upright, read and decoded here and now. Throws
// Error naming the file.
Supplied DecodeNow(const std::string& name, Size box, const Host& host);

// The same, for a picture wanted ahead, turned when `order`'s rule turns it; runs on a
// worker thread. Throws Error, also when the file changed while it was read.
Prepared<Decoded> PrepareAhead(const Order& order, const Host& host);

}  // namespace mirvane::image
