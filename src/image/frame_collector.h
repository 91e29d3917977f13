#pragma once

#include <cstdint>
#include <string>

#include "image/decoded.h"
#include "image/frames.h"

namespace mirvane::image {

// Takes an animation's frames as a codec decodes them and finishes each once, as Finish
// finishes a still picture (over white, fitted, sRGB, turned), keeping them while the
// frames kept and the work done stay within budget.
class FrameCollector {
 public:
  FrameCollector(Size box, int quarter_turns) : box_(box), quarter_turns_(quarter_turns) {}

  // Takes a full-size frame (the first one sets the picture's size). False when the budget
  // is spent: the frame is dropped and decoding should stop.
  bool Add(Pixels&& frame, int delay_ms);
  // A sink that feeds this collector.
  FrameSink Sink() {
    return [this](Pixels&& frame, int delay_ms) { return Add(std::move(frame), delay_ms); };
  }
  // The frames kept, converted from the profile `icc`; a single frame is finished as a
  // still picture, with `orientation` applied. Throws Error when there is none.
  Decoded Finish(int loops, const std::string& icc = {}, int orientation = 1) &&;

 private:
  // Scales a frame to the fit; its colours and turn wait for Finish, which knows them.
  void Keep(Pixels&& frame, int delay_ms);

  Size box_;
  int quarter_turns_;
  Size fitted_;
  Pixels first_;  // the first frame as read, until a second one makes an animation
  bool have_first_ = false;
  int first_delay_ = 0;
  std::int64_t kept_ = 0;
  std::int64_t work_ = 0;
  Decoded out_;
};

}  // namespace mirvane::image
