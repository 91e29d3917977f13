#include "image/frame_collector.h"

#include <utility>

#include "image/budget.h"
#include "image/colour.h"
#include "image/error.h"
#include "image/finish.h"
#include "image/pixel_steps.h"

namespace mirvane::image {

bool FrameCollector::Add(Pixels&& frame, int delay_ms) {
  if (frame.argb.empty()) return false;
  if (out_.full.width == 0) {
    out_.full = {frame.width, frame.height};
    fitted_ = FittedSize(out_.full, Turned(box_, quarter_turns_));
  } else if (frame.width != out_.full.width || frame.height != out_.full.height) {
    return false;  // a canvas does not change size
  }
  const std::int64_t kept = kept_ + std::int64_t(fitted_.width) * fitted_.height;
  const std::int64_t work = work_ + std::int64_t(frame.width) * frame.height;
  const std::size_t count = out_.frames.size() + (have_first_ ? 1 : 0);
  if (count > 0 && (kept > kMaxAnimationPixels || work > kMaxAnimationWork ||
                    count >= std::size_t(kMaxFrames)))
    return false;
  kept_ = kept;
  work_ = work;
  if (count == 0) {
    first_ = std::move(frame);
    first_delay_ = delay_ms;
    have_first_ = true;
    return true;
  }
  if (have_first_) {
    Keep(std::move(first_), first_delay_);
    first_ = {};
    have_first_ = false;
  }
  Keep(std::move(frame), delay_ms);
  return true;
}

void FrameCollector::Keep(Pixels&& frame, int delay_ms) {
  OverWhite(frame, false);
  out_.frames.push_back({Scaled(frame, fitted_), FrameDelay(delay_ms)});
  frame = {};
}

Decoded FrameCollector::Finish(int loops, const std::string& icc, int orientation) && {
  if (have_first_) {
    // A still picture: its source kept large enough for later turns and sizes.
    Picture still;
    still.full = Turned(out_.full, SwapsSides(orientation) ? 1 : 0);
    still.pixels = std::move(first_);
    still.icc = icc;
    still.orientation = orientation;
    return image::Finish(std::move(still), box_, quarter_turns_);
  }
  if (out_.frames.empty()) throw Error("no picture");
  for (Frame& f : out_.frames) ToSrgb(f.image, icc);
  out_.source = out_.frames.front().image;
  for (Frame& f : out_.frames) f.image = TurnedClockwise(f.image, quarter_turns_);
  out_.image = out_.frames.front().image;
  out_.loops = loops;
  return std::move(out_);
}

}  // namespace mirvane::image
