#include "image/showing.h"

#include <new>
#include <utility>

#include "image/error.h"
#include "image/finish.h"
#include "image/pixel_steps.h"
#include "image/prepare.h"

namespace mirvane::image {
namespace {

Size SizeOf(const Pixels& pixels) { return {pixels.width, pixels.height}; }

// The fit of a picture of upright size `full` in `box`, turned.
Size TurnedFit(Size full, Size box, int quarter_turns) {
  return Turned(FittedSize(full, Turned(box, quarter_turns)), quarter_turns);
}

}  // namespace

Showing::Showing(const Host& host, Slot slot)
    : host_(host), slot_(std::move(slot)), sharpener_(host) {}

void Showing::Render(NextPictures* ahead) {
  try {
    // The file as it stands, taken before it is read: a change made while it is read then
    // shows as a change too.
    std::optional<FileIdentity> file;
    try {
      file = host_.open(source_path_)->identity_at_open();
    } catch (...) {
      // Render says what is wrong.
    }
    Supplied supplied =
        ahead ? ahead->Supply(source_path_, slot_.box()) : DecodeNow(source_path_, slot_.box(), host_);
    const bool still = supplied.decoded.frames.empty();
    const int prepared_turns = supplied.quarter_turns;
    const Size full = supplied.decoded.full;
    const int before_turns = std::exchange(quarter_turns_, 0);
    const Size before_full = std::exchange(full_, full);
    try {
      Keep(std::move(supplied.decoded), false, prepared_turns);
    } catch (...) {
      quarter_turns_ = before_turns;
      full_ = before_full;
      throw;
    }
    shown_path_ = source_path_;
    shown_file_ = file;
    slot_.settle(false);
    sharpener_.Cancel();
    turned_ahead_ = {};
    // Kept for the quarter turn that asks for it.
    if (still && prepared_turns == 1) turned_ahead_ = std::exchange(image_, Pixels{});
    slot_.repaint();
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  }
}

void Showing::Keep(Decoded decoded, bool sharper, int decoded_turns) {
  // Everything is made before anything changes: on a throw the slot shows what it did.
  const bool same_animation =
      sharper && decoded.frames.size() == frames_.size() && !frames_.empty();
  Pixels image;
  std::vector<int> delays;
  if (same_animation) {  // sharper: plays on from the frame on view
    image = decoded.frames[std::size_t(playback_.current())].image;
  } else {
    image = std::move(decoded.image);
    for (const Frame& f : decoded.frames) delays.push_back(f.delay_ms);
  }
  std::vector<Frame> frames = decoded.frames;
  bool behind = false;
  if (!same_animation && !frames.empty() && decoded_turns != quarter_turns_) {
    // Prepared turned: the Turn that asks for it takes the frames as they are; only
    // without one are the others brought upright, as they come up.
    const int turns = (quarter_turns_ - decoded_turns + 4) % 4;
    image = Scaled(TurnedClockwise(frames.front().image, turns),
                   TurnedFit(decoded.full, slot_.box(), quarter_turns_));
    behind = true;
  }
  source_ = std::move(decoded.source);
  decoded_frames_ = std::move(decoded.frames);
  frames_ = std::move(frames);
  frames_behind_ = behind;
  frames_turns_ = decoded_turns;
  scalable_ = decoded.scalable;
  image_ = std::move(image);
  if (!same_animation) {
    playback_.Load(std::move(delays), decoded.loops);
    ArmFrame();
  }
  slot_.repaint();
}

void Showing::Turn(int quarters) {
  try {
    quarters %= 4;
    if (UseTurnedAhead((quarters + 4) % 4)) return;
    if (quarters == 0 || source_.argb.empty()) return;
    const int turns = (quarter_turns_ + quarters + 4) % 4;
    const Size box = slot_.box();
    if (frames_.empty()) {
      // Made from what is kept, which covers the turned fit: no second decode.
      image_ = Refitted(source_, full_, box, turns);
    } else {
      std::vector<Frame> frames = FramesFor(box, turns);
      image_ = frames[std::size_t(playback_.current())].image;
      frames_ = std::move(frames);
      frames_behind_ = false;
    }
    quarter_turns_ = turns;
    if (Softer() && slot_.visible()) slot_.settle(true);
    slot_.repaint();
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  }
}

void Showing::Refit() {
  BringUpright();
  if (source_.argb.empty()) return;
  try {
    const Size box = slot_.box();
    const Size target = TurnedFit(full_, box, quarter_turns_);
    if (!(target == SizeOf(image_))) {
      if (frames_.empty()) {
        image_ = Refitted(source_, full_, box, quarter_turns_);
      } else if (slot_.visible()) {
        // Every frame at every resize event would hold up the window: the one on view now,
        // the others as they come up and once the size has settled.
        image_ = FrameFor(std::size_t(playback_.current()), box, quarter_turns_);
        frames_behind_ = true;
      } else {
        std::vector<Frame> frames = FramesFor(box, quarter_turns_);
        image_ = frames[std::size_t(playback_.current())].image;
        frames_ = std::move(frames);
        frames_behind_ = false;
      }
    }
    // Restarted by every resize until the size settles.
    slot_.settle((frames_behind_ || Softer()) && slot_.visible());
  } catch (...) {
    // Keep what is on view: a refit must not fail.
  }
  slot_.repaint();
}

void Showing::Refresh() {
  BringUpright();  // drawn with no turn asking for the turned picture: shown upright
  if (image_.argb.empty()) return;
  if (!(TurnedFit(full_, slot_.box(), quarter_turns_) == SizeOf(image_))) Refit();
}

void Showing::Settled() {
  // A sharper decode brings all frames; without one, those kept are fitted.
  if (Softer()) Sharpen();
  if (!frames_behind_) return;
  try {
    std::vector<Frame> frames = FramesFor(slot_.box(), quarter_turns_);
    image_ = frames[std::size_t(playback_.current())].image;
    frames_ = std::move(frames);
    frames_behind_ = false;
    slot_.repaint();
  } catch (...) {
    // Still fitted as they come up.
  }
}

void Showing::Sharpen() {
  if (!slot_.visible() || !shown_file_) return;
  const Size box = slot_.box();
  const int turns = quarter_turns_;
  // A Render or a hide in between cancels it; a resize or a turn makes it stale.
  sharpener_.Start({shown_path_, *shown_file_, box, turns}, [this, box, turns](Decoded decoded) {
    if (!(box == slot_.box()) || turns != quarter_turns_ || !(decoded.full == full_)) return;
    try {
      Keep(std::move(decoded), true, quarter_turns_);
    } catch (...) {
      // Keep the softer picture on view.
    }
  });
}

void Showing::NextFrame() {
  if (!playing_ || !playback_.Step()) return;
  const std::size_t i = std::size_t(playback_.current());
  try {
    image_ = frames_behind_ ? FrameFor(i, slot_.box(), quarter_turns_) : frames_[i].image;
  } catch (...) {
    image_ = frames_[i].image;  // not refitted, still drawn whole
  }
  slot_.repaint();
  ArmFrame();
}

void Showing::Playing(bool on) {
  playing_ = on;
  if (on) {
    ArmFrame();
  } else {
    slot_.no_frame();
  }
}

void Showing::ArmFrame() {
  if (const auto delay = playback_.Delay(); playing_ && delay) {
    slot_.frame(*delay);
  } else {
    slot_.no_frame();
  }
}

void Showing::Visible(bool on) {
  if (on) {
    BringUpright();
    Refit();  // a hidden slot is never sharpened: now is the time
  } else {
    Clear();
  }
}

void Showing::Clear() {
  image_ = source_ = turned_ahead_ = {};
  frames_.clear();
  frames_behind_ = false;
  decoded_frames_.clear();
  playback_.Load({}, 0);
  slot_.no_frame();
  full_ = {0, 0};
  quarter_turns_ = 0;
  shown_file_.reset();
  slot_.settle(false);
  sharpener_.Cancel();
}

bool Showing::Softer() const {
  return image::Softer(SizeOf(source_), full_, slot_.box(), quarter_turns_, scalable_);
}

std::vector<Frame> Showing::FramesFor(Size box, int quarter_turns) const {
  std::vector<Frame> frames = decoded_frames_;
  for (std::size_t i = 0; i < frames.size(); ++i) frames[i].image = FrameFor(i, box, quarter_turns);
  return frames;
}

Pixels Showing::FrameFor(std::size_t index, Size box, int quarter_turns) const {
  // From the frames as decoded, so that shrinking and growing again loses nothing.
  const int turns = (quarter_turns - frames_turns_ + 4) % 4;
  return Scaled(TurnedClockwise(decoded_frames_[index].image, turns),
                TurnedFit(full_, box, quarter_turns));
}

bool Showing::UseTurnedAhead(int clockwise) {
  if (turned_ahead_.argb.empty()) return false;
  if (clockwise != 1) {
    BringUpright();
    return false;
  }
  image_ = std::exchange(turned_ahead_, Pixels{});
  quarter_turns_ = 1;
  slot_.repaint();
  return true;
}

void Showing::BringUpright() {
  if (turned_ahead_.argb.empty()) return;
  turned_ahead_ = {};
  try {
    image_ = Refitted(source_, full_, slot_.box(), 0);
  } catch (...) {
    // Drawn from what is kept once there is memory for it.
  }
  slot_.repaint();
}

}  // namespace mirvane::image
