// The codec libraries' pictures (decoded to neutral pixels in src/image) as QImages,
// for Decode to finish.
#include <QBuffer>
#include <QImageReader>

#include "image/readers/avif.h"
#include "image/budget.h"
#include "image/readers/heif.h"
#include "image/readers/jxl.h"
#include "image/readers/raw.h"
#include "platform/error.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/frames.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

namespace neutral = mirvane::image;

std::string_view View(const QByteArray& bytes) { return {bytes.constData(), size_t(bytes.size())}; }

// Collects the frames that a neutral decoder gives.
neutral::FrameSink Into(FrameCollector& frames) {
  return [&frames](neutral::Pixels&& pixels, int delay_ms) {
    return frames.Add(FromPixels(std::move(pixels)), delay_ms);
  };
}

// A camera's JPEG preview, reduced to `cover` where larger (DCT scaling); its own
// orientation tag, if any, is the camera's business: the raw file's one is applied after.
QImage ReadPreview(const std::string& jpeg, QSize cover) {
  QByteArray bytes = QByteArray::fromRawData(jpeg.data(), qsizetype(jpeg.size()));
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "jpeg");
  reader.setAutoTransform(false);
  const QSize raw = reader.size();
  if (!raw.isValid() || !neutral::WithinBudget(raw.width(), raw.height()))
    throw Error("camera raw: unreadable preview");
  if (cover.width() < raw.width()) reader.setScaledSize(FittedSize(raw, cover));
  QImage image = reader.read();
  if (image.isNull()) throw Error("camera raw: " + reader.errorString().toStdString());
  return image;
}

}  // namespace

Picture ReadHeif(const QByteArray& bytes) {
  std::string icc;
  QImage full = FromPixels(neutral::DecodeHeif(View(bytes), &icc));
  const QColorSpace colour = ColourSpaceOf(icc);
  // One that Qt cannot use still holds the profile, for Little CMS.
  if (colour.isValid() || !colour.iccProfile().isEmpty()) full.setColorSpace(colour);
  return {full, full.size()};
}

Decoded ReadAvif(const QByteArray& bytes, QSize box, int quarter_turns) {
  FrameCollector frames(box, quarter_turns);
  neutral::FramesInfo info;
  if (!neutral::DecodeAvifSequence(View(bytes), Into(frames), &info))
    return Finished(ReadHeif(bytes), box, quarter_turns);
  return std::move(frames).Finish(info.loops, ColourSpaceOf(info.icc));
}

Decoded ReadJxl(const QByteArray& bytes, QSize box, int quarter_turns) {
  FrameCollector frames(box, quarter_turns);
  neutral::FramesInfo info;
  neutral::DecodeJxl(View(bytes), Into(frames), &info);
  return std::move(frames).Finish(info.loops, ColourSpaceOf(info.icc));
}

Picture ReadRaw(const QByteArray& bytes, QSize box) {
  neutral::RawPicture raw = neutral::DecodeRaw(View(bytes), ToSize(box));
  const QSize full = ToQSize(raw.full);
  QImage image = raw.jpeg.empty()
                     ? FromPixels(std::move(raw.pixels))
                     : ReadPreview(raw.jpeg, Turned(CoverSize(full, box), raw.quarter_turns));
  image = TurnedImage(image, raw.quarter_turns);
  if (image.isNull()) throw Error("out of memory");
  return {image, full};
}

}  // namespace mirvane::platform::qt::image
