#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane::image {

// One frame of an animated PNG, as a PNG stream of its own that any PNG decoder reads,
// and where and how it goes onto the canvas.
struct ApngFrame {
  std::string png;
  int x = 0, y = 0, width = 0, height = 0;
  int delay_ms = 0;
  enum Dispose { kNone, kBackground, kPrevious } dispose = kNone;
  bool blend = false;  // over the canvas; else in place of it
};

struct Apng {
  int width = 0, height = 0;
  int loops = 0;  // plays after the first; -1 forever
  std::vector<ApngFrame> frames;
};

// The frames of an animated PNG, or nothing when the file is a plain PNG (no animation
// control, or fewer than two frames). Throws Error on a damaged animation.
std::optional<Apng> SplitApng(std::string_view bytes);

}  // namespace mirvane::image
