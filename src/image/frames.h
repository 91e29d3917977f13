#pragma once

#include <functional>
#include <string>

#include "image/pixels.h"

namespace mirvane::image {

// Takes each decoded frame at full size, in display order, with its delay in
// milliseconds as the file gives it; returns false to stop decoding there.
using FrameSink = std::function<bool(Pixels&& frame, int delay_ms)>;

// What a codec tells besides its frames.
struct FramesInfo {
  int loops = 0;    // plays after the first; -1 forever
  std::string icc;  // the colour profile the pixels are in; empty for sRGB
};

// A delay under 20 ms is taken as 100 ms, as browsers do: such files were made for
// players that ignored it.
inline int FrameDelay(int ms) { return ms < 20 ? 100 : ms; }

// `plays` as most containers count it (0 forever, else the number of plays) as loops.
inline int LoopsFromPlays(long long plays) {
  return plays <= 0 || plays > (1 << 30) ? -1 : static_cast<int>(plays - 1);
}

}  // namespace mirvane::image
