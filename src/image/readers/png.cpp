#include "image/readers/png.h"

#include <algorithm>
#include <utility>

#include "image/colour.h"
#include "image/error.h"
#include "image/exif.h"
#include "image/readers/apng.h"
#include "image/readers/png_chunks.h"
#include "image/readers/png_decode.h"

namespace mirvane::image {
namespace {

// The profile the PNG's pixels are in, as libpng-based readers take it: an iCCP first
// (unless an sRGB chunk says otherwise), then sRGB for a gamma of 1/2.2, then what gAMA and
// cHRM describe; empty for sRGB.
std::string Profile(const PngColour& c, std::string_view file) {
  if (!c.icc.empty() && !c.srgb) return c.icc;
  if (PngSaysSrgb(file) || c.gamma == 0) return {};
  return ProfileFromChunks(c.gamma, c.chromaticities, c.white, c.red, c.green, c.blue);
}

Pixels Wrapped(std::vector<std::uint32_t>&& argb, Size size, bool alpha) {
  return Pixels{size.width, size.height, alpha, std::move(argb)};
}

// Straight alpha from premultiplied, for the frames given to a sink.
void Unpremultiply(Pixels& pixels) {
  for (std::uint32_t& p : pixels.argb) {
    const std::uint32_t a = p >> 24;
    if (a == 0xff) continue;
    if (a == 0) {
      p = 0;
      continue;
    }
    const auto c = [&](int shift) { return std::min(255u, (((p >> shift) & 0xff) * 255 + a / 2) / a) << shift; };
    p = a << 24 | c(16) | c(8) | c(0);
  }
}

}  // namespace

Picture ReadPng(std::string_view bytes, Size box, Size shown) {
  const int orientation = ExifOrientation(FindExif(bytes, Format::kPng));
  // The decoder sees the picture as stored, turned from upright when orientation >= 5.
  const int swap = orientation >= 5 ? 1 : 0;
  PngPicture decoded = DecodePng(bytes, box, Turned(shown, swap));
  Picture picture;
  picture.premultiplied = true;
  picture.full = Turned(decoded.full, swap);
  picture.orientation = orientation;
  picture.icc = Profile(decoded.colour, bytes);
  picture.pixels = Wrapped(std::move(decoded.argb), decoded.size, decoded.has_alpha);
  if (!decoded.fitted.empty())
    picture.fitted = Wrapped(std::move(decoded.fitted), decoded.fitted_size, decoded.has_alpha);
  return picture;
}

bool ReadApng(std::string_view bytes, const FrameSink& sink, FramesInfo* info) {
  std::optional<Apng> apng = SplitApng(bytes);
  if (!apng) return false;
  const std::size_t width = std::size_t(apng->width);
  // Premultiplied, so that blending is a sum.
  std::vector<std::uint32_t> canvas(width * std::size_t(apng->height), 0);
  info->loops = apng->loops;
  for (std::size_t i = 0; i < apng->frames.size(); ++i) {
    ApngFrame& f = apng->frames[i];
    PngPicture part;
    try {
      part = DecodePng(f.png, {f.width, f.height});
    } catch (const Error&) {
      if (i == 0) throw;
      break;  // play what came before the damage
    }
    std::string().swap(f.png);
    if (part.size.width != f.width || part.size.height != f.height || f.x < 0 || f.y < 0 ||
        std::size_t(f.x) + std::size_t(f.width) > width ||
        f.y + f.height > apng->height) {
      if (i == 0) throw Error("APNG: unreadable first frame");
      break;
    }
    if (i == 0) info->icc = Profile(part.colour, bytes);
    std::vector<std::uint32_t> before;
    const auto row_at = [&](int y) { return canvas.data() + std::size_t(f.y + y) * width + std::size_t(f.x); };
    if (f.dispose == ApngFrame::kPrevious) {
      before.reserve(std::size_t(f.width) * std::size_t(f.height));
      for (int y = 0; y < f.height; ++y) before.insert(before.end(), row_at(y), row_at(y) + f.width);
    }
    for (int y = 0; y < f.height; ++y) {
      std::uint32_t* to = row_at(y);
      const std::uint32_t* from = part.argb.data() + std::size_t(y) * std::size_t(f.width);
      for (int x = 0; x < f.width; ++x) {
        const std::uint32_t s = from[x];
        const std::uint32_t clear = 255 - (s >> 24);
        if (!f.blend || clear == 0) {
          to[x] = s;
          continue;
        }
        const std::uint32_t d = to[x];
        std::uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
          const std::uint32_t v = ((s >> shift) & 0xff) + (((d >> shift) & 0xff) * clear + 127) / 255;
          out |= std::min(v, 255u) << shift;
        }
        to[x] = out;
      }
    }
    Pixels frame{apng->width, apng->height, true, canvas};
    Unpremultiply(frame);
    if (!sink(std::move(frame), f.delay_ms)) break;
    if (f.dispose == ApngFrame::kBackground) {
      for (int y = 0; y < f.height; ++y) std::fill(row_at(y), row_at(y) + f.width, 0u);
    } else if (f.dispose == ApngFrame::kPrevious) {
      for (int y = 0; y < f.height; ++y)
        std::copy_n(before.data() + std::size_t(y) * std::size_t(f.width), f.width, row_at(y));
    }
  }
  return true;
}

}  // namespace mirvane::image
