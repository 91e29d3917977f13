#pragma once

#include <string_view>

#include "image/frames.h"

namespace mirvane::image {

// libwebp with its demuxer: lossy, lossless, with alpha (VP8X), and animations (each frame
// composed onto the canvas with its blending and disposal), given to `sink` at full size
// with their delays; the loop count, the ICCP profile in `info`. `orientation`, when given,
// receives the EXIF orientation of the EXIF chunk (1 when none). Throws Error; refuses
// canvases over budget before allocating.
void ReadWebp(std::string_view bytes, const FrameSink& sink, FramesInfo* info,
              int* orientation = nullptr);

}  // namespace mirvane::image
