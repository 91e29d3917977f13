#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

namespace mirvane::platform::qt::image {

struct Decoded {
  QImage image;  // fitted to the box asked for, upright (EXIF orientation applied)
  QSize full;    // the picture's own size, upright
};

// Decodes the picture in `bytes` (format told by content) fitted into `box`, decoding
// at reduced size where the format allows. Throws Error when no reader can draw it or
// its size is over budget.
Decoded Decode(const QByteArray& bytes, QSize box);

}  // namespace mirvane::platform::qt::image
