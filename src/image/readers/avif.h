#pragma once

#include <string_view>

#include "image/frames.h"

namespace mirvane::image {

// The frames of an AVIF image sequence, given to `sink` one by one. Returns false, having
// decoded nothing, when the file holds a single picture (DecodeHeif reads those, with
// their turns and crops). This libavif tells no loop count: sequences play forever.
// Throws Error; refuses frames over budget before decoding them.
bool DecodeAvifSequence(std::string_view bytes, const FrameSink& sink, FramesInfo* info);

}  // namespace mirvane::image
