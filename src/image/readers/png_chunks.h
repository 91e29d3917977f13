#pragma once

#include <functional>
#include <string_view>

namespace mirvane::image {

// Calls `visit(type, data)` for each chunk of the PNG `file` before its image data,
// until `visit` returns false or the chunks run out or are damaged.
void ForEachPngChunk(std::string_view file,
                     const std::function<bool(std::string_view, std::string_view)>& visit);

// True when the PNG's own chunks say its pixels are sRGB: an sRGB chunk, or a gAMA of
// 1/2.2 (within libpng's tolerance) and no iCCP, which is how most writers tag sRGB.
bool PngSaysSrgb(std::string_view file);

}  // namespace mirvane::image
