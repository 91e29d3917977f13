#include "platform/qt/image/decode.h"

#include "platform/error.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {

QImage ForDrawing(QImage image) {
  image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                          : QImage::Format_RGB32);
  if (image.isNull()) throw Error("out of memory");
  return image;
}

Decoded Fitted(const QImage& full, QSize box) {
  if (full.isNull()) throw Error("no picture");
  const QSize fitted = FittedSize(full.size(), box);
  return {ForDrawing(ScaledTo(full, fitted)), full.size()};
}

Decoded Decode(const QByteArray& bytes, QSize box, std::string_view name) {
  Format format = mirvane::image::Sniff(std::string_view(bytes.constData(), bytes.size()), name);
  switch (format) {
    case Format::kPcx:
      return Fitted(ReadPcx(bytes), box);
    case Format::kHeif:
      return ReadHeif(bytes, box);
    case Format::kAvif:
      return ReadAvif(bytes, box);
    case Format::kJxl:
      return ReadJxl(bytes, box);
    case Format::kSvg:
      return ReadSvg(bytes, box);
    case Format::kRaw:
      try {
        return ReadRaw(bytes, box);
      } catch (const Error&) {
        // A TIFF that only looked like a camera's: libtiff may read it.
        if (!bytes.startsWith("II*") && !bytes.startsWith(QByteArray("MM\0*", 4))) throw;
        format = Format::kTiff;
      }
      break;
    case Format::kTga:
      // Qt 6.4's plugin reads only uncompressed true-colour TGA 2.0 files and writes a
      // warning to stderr for every other one; stb_image reads them all.
      return Fitted(ReadStb(bytes), box);
    case Format::kGif:
    case Format::kWebp:
    case Format::kPng:
      if (auto animation = ReadAnimation(bytes, format, box)) return std::move(*animation);
      break;
    default:
      break;
  }
  if (format == Format::kTiff) QuietTiff();
  try {
    Decoded decoded = ReadWithQt(bytes, format, box);
    decoded.image = ForDrawing(std::move(decoded.image));
    return decoded;
  } catch (const Error&) {
    // Qt 6.4 refuses tiled, planar, 16-bit, float, CMYK and old-JPEG TIFFs and the BMP
    // bit-field variants; these libraries read them.
    if (format == Format::kTiff) return Fitted(ReadTiff(bytes), box);
    if (format == Format::kBmp) return Fitted(ReadStb(bytes), box);
    throw;
  }
}

}  // namespace mirvane::platform::qt::image
