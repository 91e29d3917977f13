#pragma once

#include "platform/drop_data.h"
#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// Replaces the list with the dropped files (at most 999 counted) and restarts the
// show from the first; anything but files is refused with a message.
void Form_OLEDragDrop(LumivoState& state, const Controls& controls, platform::DropData& Data);

}  // namespace mirvane::viewer
