#pragma once

#include <QColorSpace>
#include <QImage>
#include <QSize>

#include "platform/qt/image/decode.h"

namespace mirvane::platform::qt::image {

// Fits each frame of an animation once, as it is decoded, and keeps it while the frames
// kept and the work done stay within budget.
class FrameCollector {
 public:
  explicit FrameCollector(QSize box) : box_(box) {}

  // Takes a full-size frame (the first one sets the picture's size). False when the
  // budget is spent: the frame is dropped and decoding should stop.
  bool Add(const QImage& frame, int delay_ms);
  // The frames kept, tagged with `colour` where valid; a still picture when only one.
  // Throws Error when there is none.
  Decoded Finish(int loops, const QColorSpace& colour = {}) &&;

 private:
  QSize box_;
  QSize fitted_;
  qint64 kept_ = 0;
  qint64 work_ = 0;
  Decoded out_;
};

// The colour space an ICC profile describes; invalid (taken as sRGB) when there is none
// or Qt cannot read it.
QColorSpace ColourSpaceOf(const std::string& icc);

}  // namespace mirvane::platform::qt::image
