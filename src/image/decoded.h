#pragma once

#include <vector>

#include "image/fit.h"
#include "image/pixels.h"

namespace mirvane::image {

// One picture of an animation, finished like a still one.
struct Frame {
  Pixels image;
  int delay_ms = 100;  // how long it stays on view; 20 ms or more
};

// What the pipeline hands a slot: every picture opaque sRGB, one device pixel a pixel.
struct Decoded {
  Pixels image;  // fitted to the box and turned; an animation's first frame
  Size full;     // the picture's own size, upright (EXIF orientation applied)
  // Upright, large enough for the box's fit either way round (or at full size): what later
  // fits and turns are made from; for an animation, its first frame upright as fitted.
  Pixels source;
  std::vector<Frame> frames;  // an animation's frames, fitted and turned like `image`; else empty
  int loops = 0;              // plays of the animation after the first; -1 forever
  bool scalable = false;      // drawn from a description: sharp at any size when decoded again
};

}  // namespace mirvane::image
