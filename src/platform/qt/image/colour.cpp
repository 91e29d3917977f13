#include "platform/qt/image/colour.h"

#include <lcms2.h>

#include <QColorSpace>
#include <cstring>
#include <memory>
#include <vector>

namespace mirvane::platform::qt::image {
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

Profile Open(const QByteArray& icc) {
  QuietLcms();
  return Profile(cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size())));
}

Transform ToSrgbFrom(const Profile& from, cmsUInt32Number in_format) {
  const Profile srgb(cmsCreate_sRGBProfile());
  if (!from || !srgb) return Transform(nullptr);
  // Relative colorimetric, as QColorSpace converts: the colours as measured, white to
  // white. Little CMS falls back to the perceptual table of a profile without one.
  return Transform(cmsCreateTransform(from.get(), in_format, srgb.get(), TYPE_BGRA_8,
                                      INTENT_RELATIVE_COLORIMETRIC, cmsFLAGS_NOCACHE));
}

// RGB32 rows are B, G, R, 0xff bytes on little-endian hosts; grey pictures hold the
// grey in all three.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "RGB32 is read as BGRA bytes");
constexpr cmsUInt32Number kGreyInRgb32 =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

void WithLcms(QImage& image, const QByteArray& icc) {
  const Profile profile = Open(icc);
  if (!profile) return;
  const cmsColorSpaceSignature space = cmsGetColorSpace(profile.get());
  cmsUInt32Number format = 0;
  if (space == cmsSigRgbData) format = TYPE_BGRA_8;
  if (space == cmsSigGrayData && image.allGray()) format = kGreyInRgb32;
  if (!format) return;
  const Transform transform = ToSrgbFrom(profile, format);
  if (!transform) return;
  std::vector<uchar> row(size_t(image.width()) * 4);
  for (int y = 0; y < image.height(); ++y) {
    uchar* line = image.scanLine(y);
    std::memcpy(row.data(), line, row.size());
    // The alpha byte is left as it is (0xff).
    cmsDoTransform(transform.get(), row.data(), line, cmsUInt32Number(image.width()));
  }
}

}  // namespace

void ToSrgb(QImage& image) {
  const QColorSpace space = image.colorSpace();
  if (space.isValid()) {
    if (space != QColorSpace(QColorSpace::SRgb)) image.convertToColorSpace(QColorSpace::SRgb);
  } else if (!space.iccProfile().isEmpty()) {
    WithLcms(image, space.iccProfile());
  }
  image.setColorSpace(QColorSpace::SRgb);
}

QImage CmykToSrgb(const uchar* cmyk, int width, int height, qsizetype stride, const QByteArray& icc,
                  bool inverted) {
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return image;
  image.fill(0xffffffff);
  Transform transform(nullptr);
  if (!icc.isEmpty()) {
    const Profile profile = Open(icc);
    if (profile && cmsGetColorSpace(profile.get()) == cmsSigCmykData)
      transform = ToSrgbFrom(profile, inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8);
  }
  for (int y = 0; y < height; ++y) {
    const uchar* in = cmyk + stride * y;
    uchar* out = image.scanLine(y);
    if (transform) {
      cmsDoTransform(transform.get(), in, out, cmsUInt32Number(width));
      continue;
    }
    const auto light = [inverted](uchar v) { return inverted ? int(v) : 255 - v; };
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
      for (int c = 0; c < 3; ++c) out[2 - c] = uchar(light(in[c]) * light(in[3]) / 255);
    }
  }
  return image;
}

}  // namespace mirvane::platform::qt::image
