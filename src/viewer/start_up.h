#pragma once

#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// Loads the settings, gives the interval to the timer and, when there is an
// argument text, enables the timer and fills the list. Shows nothing.
void Form_Load(LumivoState& state, const Controls& controls);

}  // namespace mirvane::viewer
