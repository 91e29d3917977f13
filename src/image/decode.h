#pragma once

#include <functional>
#include <string_view>

#include "image/decoded.h"
#include "image/picture.h"

namespace mirvane::image {

// What a platform adds to the pipeline, for what needs more than a codec library.
struct Extras {
  // Draws a drawing (SVG) straight at its fit of `box`; unset where there is no renderer.
  std::function<Picture(std::string_view bytes, Size box)> svg;
  // The system's own codecs, for a file no reader of ours takes; unset where there are none.
  std::function<Picture(std::string_view bytes, Size box)> system;
};

// Decodes the picture in `bytes` (format told by content; `name` serves only TGA, which has
// no signature) for a box of `box` device pixels turned clockwise by `quarter_turns`,
// decoding at reduced size where the format allows, and finishes it. A pure function of its
// arguments, safe on any thread. Throws Error when nothing can draw it or it is over budget.
Decoded Decode(std::string_view bytes, Size box, int quarter_turns = 0, std::string_view name = {},
               const Extras& extras = {});

}  // namespace mirvane::image
