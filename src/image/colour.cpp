#include "image/colour.h"

#include <lcms2.h>

#include <algorithm>
#include <bit>
#include <memory>
#include <vector>

namespace mirvane::image {
namespace {

struct ProfileCloser {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
struct TransformDeleter {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;
using Transform = std::unique_ptr<void, TransformDeleter>;

// Little CMS reports damaged profiles through a global handler that writes to stderr.
void QuietLcms() {
  static const bool quiet = [] {
    cmsSetLogErrorHandler([](cmsContext, cmsUInt32Number, const char*) {});
    return true;
  }();
  (void)quiet;
}

Profile Open(std::string_view icc) {
  QuietLcms();
  return Profile(cmsOpenProfileFromMem(icc.data(), cmsUInt32Number(icc.size())));
}

Transform ToSrgbFrom(const Profile& from, cmsUInt32Number in_format) {
  const Profile srgb(cmsCreate_sRGBProfile());
  if (!from || !srgb) return Transform(nullptr);
  // Relative colorimetric: the colours as measured, white to white. Little CMS falls back
  // to the perceptual table of a profile without one.
  return Transform(cmsCreateTransform(from.get(), in_format, srgb.get(), TYPE_BGRA_8,
                                      INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
}

// 0xAARRGGBB values are B, G, R, A bytes on little-endian hosts; grey pictures hold the
// grey in all three.
static_assert(std::endian::native == std::endian::little, "pixels are read as BGRA bytes");
constexpr cmsUInt32Number kGreyInBgra =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

bool AllGrey(const Pixels& pixels) {
  return std::all_of(pixels.argb.begin(), pixels.argb.end(), [](std::uint32_t p) {
    return (p & 0xff) == ((p >> 8) & 0xff) && (p & 0xff) == ((p >> 16) & 0xff);
  });
}

}  // namespace

void ToSrgb(Pixels& pixels, std::string_view icc) {
  if (icc.empty() || pixels.argb.empty()) return;
  const Profile profile = Open(icc);
  if (!profile) return;
  const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
  cmsUInt32Number format = 0;
  if (space == cmsSigRgbData) format = TYPE_BGRA_8;
  if (space == cmsSigGrayData && AllGrey(pixels)) format = kGreyInBgra;
  if (!format) return;
  const Transform transform = ToSrgbFrom(profile, format);
  if (!transform) return;
  const std::size_t width = std::size_t(pixels.width);
  std::vector<std::uint32_t> row(width);
  for (int y = 0; y < pixels.height; ++y) {
    std::uint32_t* line = pixels.argb.data() + width * std::size_t(y);
    std::copy(line, line + width, row.begin());
    // The alpha byte is left as it is.
    cmsDoTransform(transform.get(), row.data(), line, cmsUInt32Number(width));
  }
}

Pixels CmykToSrgb(const std::uint8_t* cmyk, int width, int height, std::size_t stride,
                  std::string_view icc, bool inverted) {
  Pixels out;
  out.width = width;
  out.height = height;
  out.argb.assign(std::size_t(width) * std::size_t(height), 0xffffffffu);
  Transform transform(nullptr);
  if (!icc.empty()) {
    const Profile profile = Open(icc);
    if (profile && cmsGetColorSpace(profile.get()) == cmsSigCmykData)
      transform = ToSrgbFrom(profile, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8);
  }
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = cmyk + stride * std::size_t(y);
    std::uint32_t* line = out.argb.data() + std::size_t(width) * std::size_t(y);
    if (transform) {
      cmsDoTransform(transform.get(), in, line, cmsUInt32Number(width));
      continue;
    }
    const auto light = [inverted](std::uint8_t v) { return inverted ? unsigned(v) : 255u - v; };
    for (int x = 0; x < width; ++x, in += 4) {
      const unsigned k = light(in[3]);
      line[x] = 0xff000000u | (light(in[0]) * k / 255) << 16 | (light(in[1]) * k / 255) << 8 |
                (light(in[2]) * k / 255);
    }
  }
  return out;
}

std::string ProfileFromChunks(std::uint32_t gamma, bool chromaticities, const double white[2],
                              const double red[2], const double green[2], const double blue[2]) {
  if (gamma == 0) return {};
  QuietLcms();
  // gAMA is the encoding exponent: the curve that decodes is its inverse.
  const double exponent = 100000.0 / double(gamma);
  if (!(exponent > 0.1 && exponent < 10)) return {};
  cmsToneCurve* curve = cmsBuildGamma(nullptr, exponent);
  if (!curve) return {};
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsCIExyY white_point{0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  if (chromaticities) {
    white_point = {white[0], white[1], 1.0};
    primaries = {{red[0], red[1], 1.0}, {green[0], green[1], 1.0}, {blue[0], blue[1], 1.0}};
  }
  Profile profile(cmsCreateRGBProfile(&white_point, &primaries, curves));
  cmsFreeToneCurve(curve);
  if (!profile) return {};
  cmsUInt32Number size = 0;
  if (!cmsSaveProfileToMem(profile.get(), nullptr, &size) || size == 0) return {};
  std::string bytes(size, '\0');
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
  return bytes;
}

}  // namespace mirvane::image
