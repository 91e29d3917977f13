#pragma once

#include "image/decoded.h"
#include "image/picture.h"

namespace mirvane::image {

// A still picture as read, finished for a box of `box` device pixels turned clockwise by
// `quarter_turns`: over white, reduced (straight from what was read: one resampling only),
// in sRGB, upright, turned. Throws Error on an empty picture, std::bad_alloc.
Decoded Finish(Picture picture, Size box, int quarter_turns);

// The picture kept as `source` fitted to `box` and turned, as a later turn or resize wants it.
Pixels Refitted(const Pixels& source, Size full, Size box, int quarter_turns);

// True when `source` was decoded smaller than the picture (or drawn from a description,
// `scalable`) and is smaller than the fit of `box`, so that a new decode would show it sharper.
bool Softer(Size source, Size full, Size box, int quarter_turns, bool scalable = false);

}  // namespace mirvane::image
