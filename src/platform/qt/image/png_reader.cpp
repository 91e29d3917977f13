#include <QColorSpace>
#include <QPointF>
#include <cstdint>
#include <new>
#include <vector>

#include "image/exif.h"
#include "image/readers/png_chunks.h"
#include "image/readers/png_decode.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

// The colour space Qt's PNG reader would tag the picture with, its profile first, and
// then, as ReadWithQt does, sRGB for a gamma of 1/2.2 without a profile.
QColorSpace ColourSpace(const mirvane::image::PngColour& c, std::string_view file) {
  QColorSpace profile;
  if (!c.icc.empty()) {
    profile = QColorSpace::fromIccProfile(QByteArray(c.icc.data(), qsizetype(c.icc.size())));
    if (profile.isValid() && !c.srgb) return profile;
  }
  if (mirvane::image::PngSaysSrgb(file)) return QColorSpace::SRgb;
  if (c.gamma == 0) return profile;  // a profile Qt cannot use keeps its bytes for Little CMS
  const float gamma = 100000.0f / static_cast<float>(c.gamma);
  if (c.chromaticities) {
    const QColorSpace given(QPointF(c.white[0], c.white[1]), QPointF(c.red[0], c.red[1]),
                            QPointF(c.green[0], c.green[1]), QPointF(c.blue[0], c.blue[1]),
                            QColorSpace::TransferFunction::Gamma, gamma);
    if (given.isValid()) return given;
  }
  return QColorSpace(QColorSpace::Primaries::SRgb, QColorSpace::TransferFunction::Gamma, gamma);
}

// `argb` as an image that owns it, rather than a copy.
QImage Wrapped(std::vector<std::uint32_t>&& argb, mirvane::image::Size size, bool alpha) {
  auto* pixels = new std::vector<std::uint32_t>(std::move(argb));
  const QImage image(
      reinterpret_cast<const uchar*>(pixels->data()), size.width, size.height,
      qsizetype(size.width) * 4, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32,
      [](void* p) { delete static_cast<std::vector<std::uint32_t>*>(p); }, pixels);
  if (image.isNull()) {
    delete pixels;
    throw std::bad_alloc();
  }
  return image;
}

// `image` as tagged with `space` and made upright; null stays null.
QImage Upright(QImage image, const QColorSpace& space, int orientation) {
  if (image.isNull()) return image;
  image.setColorSpace(space);
  if (orientation == 1) return image;
  image = Oriented(image, orientation);
  if (image.isNull()) throw std::bad_alloc();
  return image;
}

}  // namespace

Picture ReadPng(const QByteArray& bytes, QSize box, QSize shown) {
  const std::string_view file(bytes.constData(), size_t(bytes.size()));
  const int orientation =
      mirvane::image::ExifOrientation(mirvane::image::FindExif(file, Format::kPng));
  // The decoder sees the picture as stored, turned from upright when orientation >= 5.
  if (orientation >= 5) shown.transpose();
  mirvane::image::PngPicture decoded = mirvane::image::DecodePng(file, ToSize(box), ToSize(shown));
  const QColorSpace space = ColourSpace(decoded.colour, file);
  QImage fitted;
  if (!decoded.fitted.empty())
    fitted = Wrapped(std::move(decoded.fitted), decoded.fitted_size, decoded.has_alpha);
  const QImage image = Wrapped(std::move(decoded.argb), decoded.size, decoded.has_alpha);
  QSize full = ToQSize(decoded.full);
  if (orientation >= 5) full.transpose();
  return {Upright(image, space, orientation), full, Upright(fitted, space, orientation)};
}

}  // namespace mirvane::platform::qt::image
