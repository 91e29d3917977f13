#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <string_view>
#include <vector>

namespace mirvane::platform::qt::image {

// One picture of an animation, fitted like the still one.
struct Frame {
  QImage image;
  int delay_ms = 100;  // how long it stays on view; 20 ms or more
};

struct Decoded {
  Decoded() = default;
  Decoded(QImage fitted, QSize picture) : image(std::move(fitted)), full(picture) {}

  QImage image;               // fitted to the box asked for, upright (EXIF orientation applied)
  QSize full;                 // the picture's own size, upright
  std::vector<Frame> frames;  // an animation's pictures, the first being `image`; else empty
  int loops = 0;              // plays of the animation after the first; -1 forever
  bool scalable = false;      // drawn from a description: sharp at any size when decoded again
};

// Decodes the picture in `bytes` (format told by content; `name` serves only formats
// without a signature) fitted into `box`, decoding at reduced size where the format
// allows. Throws Error when no reader can draw it or its size is over budget.
Decoded Decode(const QByteArray& bytes, QSize box, std::string_view name = {});

}  // namespace mirvane::platform::qt::image
