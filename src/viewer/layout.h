#pragma once

#include "viewer/controls.h"

namespace mirvane::viewer {

// Lays both slots, the hidden one too, over the client area at the window's outer
// size less fixed allowances, and refits them; nothing while minimised.
void Form_Resize(const Controls& controls);

}  // namespace mirvane::viewer
