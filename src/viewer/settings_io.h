#pragma once

#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// Reads the settings file into Interval and the Loop and Rotate check marks.
void LoadSettings(LumivoState& state, const Controls& controls);

// Writes Interval and the two check marks. A failed write leaves the program
// running with the settings in memory.
void SaveSettings(const LumivoState& state, const Controls& controls);

}  // namespace mirvane::viewer
