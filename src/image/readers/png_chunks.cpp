#include "image/readers/png_chunks.h"

#include <cstdint>

namespace mirvane::image {
namespace {

std::uint32_t Be32(std::string_view b) {
  const auto* p = reinterpret_cast<const unsigned char*>(b.data());
  return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

}  // namespace

void ForEachPngChunk(std::string_view b,
                     const std::function<bool(std::string_view, std::string_view)>& visit) {
  for (std::size_t at = 8; at + 8 <= b.size();) {
    const std::uint32_t length = Be32(b.substr(at));
    const std::string_view type = b.substr(at + 4, 4);
    if (length > b.size() - at - 8 || type == "IDAT" || type == "IEND") return;
    if (!visit(type, b.substr(at + 8, length))) return;
    at += 12 + std::size_t(length);
  }
}

bool PngSaysSrgb(std::string_view file) {
  bool srgb = false, icc = false;
  std::uint32_t gamma = 0;
  ForEachPngChunk(file, [&](std::string_view type, std::string_view data) {
    if (type == "sRGB") srgb = true;
    if (type == "iCCP") icc = true;
    if (type == "gAMA" && data.size() == 4) gamma = Be32(data);
    return true;
  });
  return srgb || (!icc && gamma >= 45000 && gamma <= 46000);
}

}  // namespace mirvane::image
