#pragma once

#include <string_view>

#include "image/picture.h"

namespace mirvane::platform::qt {

// Qt SVG: the drawing drawn straight at its fit of `box`, never scaled from pixels. No
// file besides the SVG is read. Throws image::Error.
mirvane::image::Picture DrawSvg(std::string_view svg, mirvane::image::Size box);

}  // namespace mirvane::platform::qt
