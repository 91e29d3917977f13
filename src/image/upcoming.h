#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/fit.h"

namespace mirvane::image {

// Which pictures a slot turns a quarter turn when they are shown: none, those higher than
// wide, or those wider than high.
enum class TurnWhen { kNever, kPortrait, kLandscape };

// The quarter turns (0 or 1) that `when` gives a picture of `upright` size.
inline int TurnsFor(TurnWhen when, Size upright) {
  if (when == TurnWhen::kPortrait) return upright.width < upright.height ? 1 : 0;
  if (when == TurnWhen::kLandscape) return upright.width > upright.height ? 1 : 0;
  return 0;
}

// What the slide show is expected to show next.
struct Upcoming {
  std::vector<std::string> names;  // in the order the ticks would take them
  std::uint8_t slot = 0;           // the slot that receives the first of them
  TurnWhen turn = TurnWhen::kNever;
};

}  // namespace mirvane::image
