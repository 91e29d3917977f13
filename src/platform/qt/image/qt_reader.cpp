#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>

#include "image/budget.h"
#include "image/exif.h"
#include "image/readers/png_chunks.h"
#include "platform/error.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

QByteArray QtFormatName(Format format) {
  switch (format) {
    case Format::kBmp:
      return "bmp";
    case Format::kJpeg:
      return "jpeg";
    case Format::kPng:
      return "png";
    case Format::kGif:
      return "gif";
    case Format::kTiff:
      return "tiff";
    case Format::kWebp:
      return "webp";
    default:
      return {};
  }
}

// libjpeg's largest side; its DCT scaling decodes at most 1/8 of each side less.
constexpr int kMaxJpegSide = 65500;

bool Admissible(QSize raw, Format format) {
  const qint64 w = raw.width(), h = raw.height();
  if (format != Format::kJpeg) return mirvane::image::WithinBudget(w, h);
  return w > 0 && h > 0 && w <= kMaxJpegSide && h <= kMaxJpegSide &&
         w * h <= mirvane::image::kMaxJpegPixels;
}

}  // namespace

Picture ReadWithQt(const QByteArray& bytes, Format format, QSize box) {
  QBuffer buffer;
  buffer.setData(bytes);  // shares, does not copy
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, QtFormatName(format));
  reader.setAutoTransform(true);
  // Our own budget is checked first; this only guards formats that cannot tell their size.
  reader.setAllocationLimit(static_cast<int>(mirvane::image::kMaxPixels * 4 / (1024 * 1024)));
  if (!reader.canRead()) throw Error("unrecognised picture format");

  // Qt 6.4 applies the orientation of JPEG and TIFF files only.
  const int orientation = reader.transformation() == QImageIOHandler::TransformationNone
                              ? mirvane::image::ExifOrientation(mirvane::image::FindExif(
                                    std::string_view(bytes.constData(), bytes.size()), format))
                              : 1;
  const QSize raw = reader.size();
  if (raw.isValid()) {
    if (!Admissible(raw, format)) throw Error("picture too large");
    // Only JPEG decodes smaller for less work (DCT scaling); other plugins would scale
    // in the file's own format (palette indices, 1-bit), which ruins colours and greys.
    const bool turned = (reader.transformation() & QImageIOHandler::TransformationRotate90);
    const QSize cover = CoverSize(turned ? raw.transposed() : raw, box);
    if (format == Format::kJpeg && cover.width() < (turned ? raw.height() : raw.width()))
      reader.setScaledSize(turned ? cover.transposed() : cover);
  }
  QImage image = reader.read();
  if (image.isNull()) throw Error(reader.errorString().toStdString());
  if (!raw.isValid() && !mirvane::image::WithinBudget(image.width(), image.height()))
    throw Error("picture too large");
  // Qt takes a PNG's gAMA for a pure power curve even beside an sRGB chunk.
  if (format == Format::kPng &&
      mirvane::image::PngSaysSrgb(std::string_view(bytes.constData(), bytes.size())))
    image.setColorSpace(QColorSpace::SRgb);
  if (orientation != 1) image = Oriented(image, orientation);
  if (image.isNull()) throw Error("out of memory");
  QSize full = image.size();
  if (raw.isValid()) {
    const bool turned =
        reader.transformation() & QImageIOHandler::TransformationRotate90 || orientation >= 5;
    full = turned ? raw.transposed() : raw;
  }
  return {std::move(image), full};
}

}  // namespace mirvane::platform::qt::image
