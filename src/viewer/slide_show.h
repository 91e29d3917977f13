#pragma once

#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// One tick: shows the next name that can be shown, passing over failures within
// the tick; at the end of the list loops (loop on, more than one name) or
// disables the timer.
void Timer1_Timer(LumivoState& state, const Controls& controls);

// One name forward or back, wrapping at the ends; the timer is left alone.
void SMenu_NextImage_Click(LumivoState& state, const Controls& controls);
void SMenu_BeforeImage_Click(LumivoState& state, const Controls& controls);

}  // namespace mirvane::viewer
