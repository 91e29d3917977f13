#pragma once

#include <string>
#include <string_view>

#include "image/frames.h"
#include "image/picture.h"

namespace mirvane::image {

// A still PNG through our decoder, reduced while decoding to no less than the cover of
// `box` and, when smaller, also to the fit of `shown` (the box as the picture is turned
// on view); its EXIF orientation and its colours (iCCP, sRGB, gAMA and cHRM) as the
// Picture's. Throws Error.
Picture ReadPng(std::string_view bytes, Size box, Size shown = {});

// The frames of an animated PNG composed onto its canvas, given to `sink` at full size;
// false, having given nothing, for a PNG that is no animation. The loop count and the
// colours of the first frame go to `info`. Throws Error on a damaged first frame.
bool ReadApng(std::string_view bytes, const FrameSink& sink, FramesInfo* info);

}  // namespace mirvane::image
