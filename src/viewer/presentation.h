#pragma once

#include <cstdint>

#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

inline constexpr std::uint8_t kShowComplete = 255;
inline constexpr std::uint8_t kShowFailed = 0;

// Puts FileList(CurrentIndex) on view through the hidden slot, then swaps the
// slots. `result` is 255 when the picture is on view or no such file exists, 0
// when an error stopped it; what ran before the error stays, nothing after runs.
void ShowImage(LumivoState& state, const Controls& controls, std::uint8_t& result);

// Turns the picture in slot `index` a quarter turn when automatic rotation is on
// and the picture's orientation differs from the window's. Errors end it quietly.
void ImageRotate(const Controls& controls, std::uint8_t& index);

}  // namespace mirvane::viewer
