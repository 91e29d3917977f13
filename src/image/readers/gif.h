#pragma once

#include <string_view>

#include "image/frames.h"

namespace mirvane::image {

// giflib: every frame composed onto the logical screen as browsers do (disposal none,
// background, previous; transparency; frames partly or wholly off the screen clipped),
// given to `sink` at full size in display order with its delay; the NETSCAPE loop count
// in `info`. A still GIF gives one frame. A file damaged after its first frame gives the
// frames before the damage. Throws Error when not even one frame can be drawn; refuses
// screens over budget before allocating.
void ReadGif(std::string_view bytes, const FrameSink& sink, FramesInfo* info);

}  // namespace mirvane::image
