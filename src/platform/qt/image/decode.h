#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace mirvane::platform::qt::image {

struct Decoded {
  QImage image;   // fitted to the box and turned: opaque sRGB (RGB32), to be drawn 1:1
  QSize full;     // the picture's own size, upright (EXIF orientation applied)
  QImage source;  // upright, opaque sRGB, large enough for the box's fit either way round
                  // (or at full size): what later fits and turns are made from
};

// Decodes the picture in `bytes` (format told by content) for a box of `box` device
// pixels, turned clockwise by `quarter_turns`, decoding at reduced size where the format
// allows. A pure function of its arguments, safe on any thread. Throws Error when no
// reader can draw it or its size is over budget.
Decoded Decode(const QByteArray& bytes, QSize box, int quarter_turns = 0);

// `source` of an earlier decode fitted to `box` and turned. Null when out of memory.
QImage Refitted(const QImage& source, QSize full, QSize box, int quarter_turns);

// True when `source` was decoded smaller than the picture and is smaller than the fit
// of `box`, so that a new decode would show it sharper.
bool Softer(const QImage& source, QSize full, QSize box, int quarter_turns);

}  // namespace mirvane::platform::qt::image
