#include "platform/qt/image/decode.h"

#include <QColorSpace>

#include "platform/error.h"
#include "platform/qt/image/colour.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

void Check(const QImage& image) {
  if (image.isNull()) throw Error("out of memory");
}

// White behind transparency, for every format alike: most pictures with transparent
// parts (diagrams, logos, scanned signatures, text) were made for a white page, and
// black lines and letters stay readable, where the slot's black would swallow them.
QImage OverWhite(QImage image) {
  for (int y = 0; y < image.height(); ++y) {
    auto* p = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const uint clear = 255 - qAlpha(p[x]);  // premultiplied: each channel <= alpha
      p[x] = (p[x] + clear * 0x010101u) | 0xff000000u;
    }
  }
  image.reinterpretAsFormat(QImage::Format_RGB32);
  return image;
}

}  // namespace

// 32 bits a pixel before any scaling (palette, 1-bit and 16-bit pictures scaled in their
// own format lose their colours or grey levels), over white, still in its colour space.
QImage Opaque(QImage image) {
  const QColorSpace space = image.colorSpace();
  const bool alpha = image.hasAlphaChannel();
  image.convertTo(alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  Check(image);
  if (alpha) image = OverWhite(std::move(image));
  image.setColorSpace(space);
  return image;
}

// `image` scaled to `size`, in sRGB.
QImage InSrgb(const QImage& image, QSize size) {
  QImage scaled = ScaledTo(image, size);
  Check(scaled);
  scaled.setColorSpace(image.colorSpace());
  ToSrgb(scaled);
  return scaled;
}

namespace {

Picture Read(const QByteArray& bytes, Format format, QSize box, int quarter_turns) {
  switch (format) {
    case Format::kPcx: {
      QImage image = ReadPcx(bytes);
      return {image, image.size()};
    }
    case Format::kTga: {
      // Qt 6.4's plugin reads only uncompressed true-colour TGA 2.0 files and writes a
      // warning to stderr for every other one; stb_image reads them all.
      QImage image = ReadStb(bytes);
      return {image, image.size()};
    }
    case Format::kHeif:
      return ReadHeif(bytes);
    case Format::kSvg:
      return ReadSvg(bytes, Turned(box, quarter_turns));
    case Format::kPng:
      try {
        return ReadPng(bytes, box, Turned(box, quarter_turns));
      } catch (const Error&) {
        // Interlaced, or damaged in a way libpng may still read.
      }
      break;
    case Format::kRaw:
      try {
        return ReadRaw(bytes, box);
      } catch (const Error&) {
        // A TIFF that only looked like a camera's: libtiff may read it.
        if (!bytes.startsWith("II*") && !bytes.startsWith(QByteArray("MM\0*", 4))) throw;
        format = Format::kTiff;
      }
      break;
    default:
      break;
  }
  if (format == Format::kTiff) {
    QuietTiff();
    try {
      QImage image = ReadTiff(bytes);
      return {image, image.size()};
    } catch (const Error&) {
      // Qt's plugin reads the odd file libtiff's own interfaces do not.
      return ReadWithQt(bytes, format, box);
    }
  }
  Picture cmyk;
  if (format == Format::kJpeg && ReadCmykJpeg(bytes, box, cmyk)) return cmyk;
  try {
    return ReadWithQt(bytes, format, box);
  } catch (const Error&) {
    // Qt 6.4 refuses the BMP bit-field variants; stb_image reads them.
    if (format != Format::kBmp) throw;
    QImage image = ReadStb(bytes);
    return {image, image.size()};
  }
}

}  // namespace

Decoded Finished(Picture picture, QSize box, int quarter_turns) {
  if (picture.image.isNull() || picture.full.isEmpty()) throw Error("no picture");
  const QImage opaque = Opaque(std::move(picture.image));
  const QSize cover = CoverSize(picture.full, box);
  const QSize fitted = FittedSize(picture.full, Turned(box, quarter_turns));
  Decoded decoded;
  decoded.full = picture.full;
  decoded.source = InSrgb(
      opaque, opaque.width() > cover.width() ? FittedSize(opaque.size(), cover) : opaque.size());
  // Straight from what was read, not from the source: one resampling only.
  const QImage image = fitted == decoded.source.size()   ? decoded.source
                       : picture.fitted.size() == fitted ? InSrgb(Opaque(picture.fitted), fitted)
                                                         : InSrgb(opaque, fitted);
  decoded.image = TurnedImage(image, quarter_turns);
  Check(decoded.image);
  return decoded;
}

Decoded Decode(const QByteArray& bytes, QSize box, int quarter_turns, std::string_view name) {
  const Format format =
      mirvane::image::Sniff(std::string_view(bytes.constData(), bytes.size()), name);
  switch (format) {
    case Format::kAvif:
      return ReadAvif(bytes, box, quarter_turns);
    case Format::kJxl:
      return ReadJxl(bytes, box, quarter_turns);
    case Format::kGif:
    case Format::kWebp:
    case Format::kPng:
      if (auto animation = ReadAnimation(bytes, format, box, quarter_turns))
        return std::move(*animation);
      break;
    default:
      break;
  }
  Decoded decoded = Finished(Read(bytes, format, box, quarter_turns), box, quarter_turns);
  decoded.scalable = format == Format::kSvg;
  return decoded;
}

QImage Refitted(const QImage& source, QSize full, QSize box, int quarter_turns) {
  const QSize fitted = FittedSize(full, Turned(box, quarter_turns));
  return TurnedImage(ScaledTo(source, fitted), quarter_turns);
}

bool Softer(const QImage& source, QSize full, QSize box, int quarter_turns, bool scalable) {
  const QSize fitted = FittedSize(full, Turned(box, quarter_turns));
  const bool reduced = scalable || source.width() < full.width() || source.height() < full.height();
  return reduced && (fitted.width() > source.width() || fitted.height() > source.height());
}

}  // namespace mirvane::platform::qt::image
