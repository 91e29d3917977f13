#pragma once

#include "viewer/controls.h"
#include "viewer/state.h"

namespace mirvane::viewer {

// Lays both slots, the hidden one too, over the client area at the window's outer
// size less fixed allowances, and refits them; nothing while minimised.
// `seen` keeps the outer size last read.
void Form_Resize(const Controls& controls, Outlook& seen);
inline void Form_Resize(const Controls& controls) {
  Outlook ignored;
  Form_Resize(controls, ignored);
}

}  // namespace mirvane::viewer
