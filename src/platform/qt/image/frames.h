#pragma once

#include <QColorSpace>
#include <QImage>
#include <QSize>

#include "platform/qt/image/decode.h"

namespace mirvane::platform::qt::image {

// Takes an animation's frames as they are decoded and finishes each once, as Decode
// finishes a still picture (32 bits, over white, fitted, sRGB, turned), keeping them
// while the frames kept and the work done stay within budget.
class FrameCollector {
 public:
  FrameCollector(QSize box, int quarter_turns) : box_(box), quarter_turns_(quarter_turns) {}

  // Takes a full-size frame (the first one sets the picture's size). False when the
  // budget is spent: the frame is dropped and decoding should stop.
  bool Add(const QImage& frame, int delay_ms);
  // The frames kept, in the colour space `colour` where it has a profile (else their own); a
  // single frame is finished as a still picture. Throws Error when there is none.
  Decoded Finish(int loops, const QColorSpace& colour = {}) &&;

 private:
  // Scales a frame to the fit; its colours and turn wait for Finish, which knows them.
  void Keep(const QImage& frame, int delay_ms);

  QSize box_;
  int quarter_turns_;
  QSize fitted_;
  QImage first_;  // the first frame as read, until a second one makes an animation
  int first_delay_ = 0;
  qint64 kept_ = 0;
  qint64 work_ = 0;
  Decoded out_;
};

// The colour space an ICC profile describes; invalid (taken as sRGB) when there is none
// or Qt cannot read it.
QColorSpace ColourSpaceOf(const std::string& icc);

}  // namespace mirvane::platform::qt::image
