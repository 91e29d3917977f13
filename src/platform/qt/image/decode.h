#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <string_view>
#include <vector>

namespace mirvane::platform::qt::image {

// One picture of an animation, finished like the still one.
struct Frame {
  QImage image;
  int delay_ms = 100;  // how long it stays on view; 20 ms or more
};

struct Decoded {
  QImage image;   // fitted to the box and turned: opaque sRGB (RGB32), to be drawn 1:1; an
                  // animation's first frame
  QSize full;     // the picture's own size, upright (EXIF orientation applied)
  QImage source;  // upright, opaque sRGB, large enough for the box's fit either way round
                  // (or at full size): what later fits and turns are made from; for an
                  // animation or a drawing, its first picture upright as decoded
  std::vector<Frame> frames;  // an animation's pictures, fitted and turned like `image`;
                              // else empty
  int loops = 0;              // plays of the animation after the first; -1 forever
  bool scalable = false;      // drawn from a description: sharp at any size when decoded again
};

// Decodes the picture in `bytes` (format told by content; `name` serves only formats
// without a signature) for a box of `box` device pixels, turned clockwise by
// `quarter_turns`, decoding at reduced size where the format allows. A pure function of
// its arguments, safe on any thread. Throws Error when no reader can draw it or its size
// is over budget.
Decoded Decode(const QByteArray& bytes, QSize box, int quarter_turns = 0,
               std::string_view name = {});

// `source` of an earlier decode fitted to `box` and turned. Null when out of memory.
QImage Refitted(const QImage& source, QSize full, QSize box, int quarter_turns);

// True when `source` was decoded smaller than the picture (or drawn from a description,
// `scalable`) and is smaller than the fit of `box`, so that a new decode would show it
// sharper.
bool Softer(const QImage& source, QSize full, QSize box, int quarter_turns, bool scalable = false);

}  // namespace mirvane::platform::qt::image
