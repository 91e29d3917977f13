#include <QBuffer>
#include <QImageReader>

#include "image/budget.h"
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

Decoded ReadWithQt(const QByteArray& bytes, Format format, QSize box) {
  QBuffer buffer;
  buffer.setData(bytes);  // shares, does not copy
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, QtFormatName(format));
  reader.setAutoTransform(true);
  // Our own budget is checked first; this only guards formats that cannot tell their size.
  reader.setAllocationLimit(static_cast<int>(mirvane::image::kMaxPixels * 4 / (1024 * 1024)));
  if (!reader.canRead()) throw Error("unrecognised picture format");

  const QSize raw = reader.size();
  QImage image;
  QSize full;
  if (raw.isValid()) {
    if (!Admissible(raw, format)) throw Error("picture too large");
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    full = turned ? raw.transposed() : raw;
    const QSize fitted = FittedSize(full, box);
    // The JPEG plugin turns this into libjpeg's DCT scaling, the PNG one scales row by row
    // as it decodes; other formats are decoded fully and scaled once, below.
    if (reader.supportsOption(QImageIOHandler::ScaledSize)) {
      reader.setScaledSize(turned ? fitted.transposed() : fitted);
    }
    image = reader.read();
    if (image.isNull()) throw Error(reader.errorString().toStdString());
    image = ScaledTo(image, fitted);
  } else {
    image = reader.read();
    if (image.isNull()) throw Error(reader.errorString().toStdString());
    if (!mirvane::image::WithinBudget(image.width(), image.height()))
      throw Error("picture too large");
    full = image.size();
    const QSize fitted = FittedSize(full, box);
    if (fitted != full)
      image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  if (image.isNull()) throw Error("out of memory");
  return {std::move(image), full};
}

}  // namespace mirvane::platform::qt::image
