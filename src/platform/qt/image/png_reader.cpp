#include <QColorSpace>
#include <QPointF>
#include <new>

#include "image/exif.h"
#include "image/png_chunks.h"
#include "image/png_decode.h"
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

}  // namespace

Picture ReadPng(const QByteArray& bytes, QSize box) {
  const std::string_view file(bytes.constData(), size_t(bytes.size()));
  auto* decoded = new mirvane::image::PngPicture(mirvane::image::DecodePng(file, ToSize(box)));
  // The image takes the decoded buffer over rather than copying it.
  QImage image(
      reinterpret_cast<const uchar*>(decoded->argb.data()), decoded->size.width,
      decoded->size.height, qsizetype(decoded->size.width) * 4,
      decoded->has_alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32,
      [](void* p) { delete static_cast<mirvane::image::PngPicture*>(p); }, decoded);
  if (image.isNull()) {
    delete decoded;
    throw std::bad_alloc();
  }
  image.setColorSpace(ColourSpace(decoded->colour, file));
  QSize full = ToQSize(decoded->full);
  const int orientation =
      mirvane::image::ExifOrientation(mirvane::image::FindExif(file, Format::kPng));
  if (orientation != 1) {
    image = Oriented(image, orientation);
    if (image.isNull()) throw std::bad_alloc();
    if (orientation >= 5) full.transpose();
  }
  return {std::move(image), full};
}

}  // namespace mirvane::platform::qt::image
