// The codec libraries' pictures (decoded to neutral pixels in src/image) made into
// fitted images.
#include <QBuffer>
#include <QImageReader>
#include <QTransform>

#include "image/avif.h"
#include "image/budget.h"
#include "image/heif.h"
#include "image/jxl.h"
#include "image/raw.h"
#include "platform/error.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/frames.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

namespace neutral = mirvane::image;

std::string_view View(const QByteArray& bytes) { return {bytes.constData(), size_t(bytes.size())}; }

Decoded Tagged(Decoded decoded, const QColorSpace& colour) {
  if (colour.isValid()) decoded.image.setColorSpace(colour);
  return decoded;
}

// Collects the frames that a neutral decoder gives.
neutral::FrameSink Into(FrameCollector& frames) {
  return [&frames](neutral::Pixels&& pixels, int delay_ms) {
    return frames.Add(FromPixels(std::move(pixels)), delay_ms);
  };
}

// A camera's JPEG preview straight at `size` (DCT scaling); its own orientation tag,
// if any, is the camera's business: the raw file's one is applied after.
QImage ReadPreview(const std::string& jpeg, QSize size) {
  QByteArray bytes = QByteArray::fromRawData(jpeg.data(), qsizetype(jpeg.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "jpeg");
  reader.setAutoTransform(false);
  const QSize raw = reader.size();
  if (!raw.isValid() || !neutral::WithinBudget(raw.width(), raw.height()))
    throw Error("camera raw: unreadable preview");
  reader.setScaledSize(size);
  QImage image = reader.read();
  if (image.isNull()) throw Error("camera raw: " + reader.errorString().toStdString());
  return image;
}

}  // namespace

Decoded ReadHeif(const QByteArray& bytes, QSize box) {
  std::string icc;
  QImage full = FromPixels(neutral::DecodeHeif(View(bytes), &icc));
  // Tagged once fitted: tagging the borrowed full-size buffer would copy it.
  return Tagged(Fitted(full, box), ColourSpaceOf(icc));
}

Decoded ReadAvif(const QByteArray& bytes, QSize box) {
  FrameCollector frames(box);
  neutral::FramesInfo info;
  if (!neutral::DecodeAvifSequence(View(bytes), Into(frames), &info)) return ReadHeif(bytes, box);
  return std::move(frames).Finish(info.loops, ColourSpaceOf(info.icc));
}

Decoded ReadJxl(const QByteArray& bytes, QSize box) {
  FrameCollector frames(box);
  neutral::FramesInfo info;
  neutral::DecodeJxl(View(bytes), Into(frames), &info);
  return std::move(frames).Finish(info.loops, ColourSpaceOf(info.icc));
}

Decoded ReadRaw(const QByteArray& bytes, QSize box) {
  neutral::RawPicture raw = neutral::DecodeRaw(View(bytes), ToSize(box));
  const QSize full = ToQSize(raw.full);
  const QSize sideways = Turned(FittedSize(full, box), raw.quarter_turns);
  QImage image =
      raw.jpeg.empty() ? FromPixels(std::move(raw.pixels)) : ReadPreview(raw.jpeg, sideways);
  image = ScaledTo(image, sideways);
  if (raw.quarter_turns) image = image.transformed(QTransform().rotate(90.0 * raw.quarter_turns));
  if (image.isNull()) throw Error("out of memory");
  return {ForDrawing(std::move(image)), full};
}

}  // namespace mirvane::platform::qt::image
