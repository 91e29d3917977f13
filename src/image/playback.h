#pragma once

#include <optional>
#include <vector>

namespace mirvane::image {

// Where an animation is in its play: which frame is on view and how long it stays. The
// platform's slot runs a timer by it, and only while the slot is on view.
class Playback {
 public:
  // A new animation, one delay per frame (none or one for a still picture), at its first
  // frame; `loops` plays after the first, -1 forever.
  void Load(std::vector<int> delays_ms, int loops);
  // How long the frame on view stays before the next; nothing when it stays for good (a
  // still picture, or the last frame of the last play, as browsers leave it).
  std::optional<int> Delay() const;
  // On to the next frame, the first again at the end of a play that is not the last.
  // False, and nothing changes, when the frame on view stays for good.
  bool Step();
  int current() const { return current_; }

 private:
  std::vector<int> delays_;
  int loops_left_ = 0;
  int current_ = 0;
  bool ended_ = false;
};

}  // namespace mirvane::image
