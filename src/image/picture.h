#pragma once

#include <string>

#include "image/fit.h"
#include "image/pixels.h"

namespace mirvane::image {

// A still picture as its reader hands it over, before the steps every format shares
// (over white, reduced, to sRGB, made upright, turned), which Finish does once for all.
struct Picture {
  // As stored in the file (before `orientation`): full size, or reduced while decoding
  // (JPEG's DCT scaling, a preview) but never below CoverSize(full as stored, box).
  Pixels pixels;
  bool premultiplied = false;  // `pixels` carry premultiplied alpha
  Size full;                   // the picture's own size, upright (`orientation` applied)
  int orientation = 1;         // EXIF orientation (1-8) still to apply to `pixels`
  std::string icc;             // the profile `pixels` are in; empty for sRGB
  // Optional, as stored: already reduced to the fit of the box as shown, which a second
  // resampling of `pixels` would soften.
  Pixels fitted;
};

}  // namespace mirvane::image
