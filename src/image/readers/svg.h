#pragma once

#include <string_view>

#include "image/picture.h"

namespace mirvane::image {

// librsvg: the drawing drawn with cairo straight at its fit of `box` in device pixels, never
// scaled from pixels; `full` is its own size (rounded, at least 1 x 1). No file besides
// the SVG is read: references to other files draw nothing, data: URIs and links within the
// file are fine. Safe on any thread. Throws Error.
Picture DrawSvg(std::string_view svg, Size box);

}  // namespace mirvane::image
