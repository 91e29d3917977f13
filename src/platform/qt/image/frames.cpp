#include "platform/qt/image/frames.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include "image/readers/apng.h"
#include "image/budget.h"
#include "image/frames.h"
#include "platform/error.h"
#include "platform/qt/image/colour.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/readers.h"

namespace mirvane::platform::qt::image {
namespace {

namespace neutral = mirvane::image;

std::optional<Decoded> ReadQtFrames(const QByteArray& bytes, Format format, QSize box,
                                    int quarter_turns) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format == Format::kGif ? "gif" : "webp");
  reader.setAllocationLimit(static_cast<int>(neutral::kMaxPixels * 4 / (1024 * 1024)));
  if (!reader.supportsAnimation() || reader.imageCount() <= 1) return std::nullopt;
  const QSize canvas = reader.size();
  if (canvas.isValid() && !neutral::WithinBudget(canvas.width(), canvas.height()))
    throw Error("picture too large");
  const int loops = reader.loopCount();
  FrameCollector frames(box, quarter_turns);
  bool any = false;
  for (QImage frame; !(frame = reader.read()).isNull();) {
    any = true;
    // The delay read after a frame is that frame's own.
    if (!frames.Add(frame, reader.nextImageDelay())) break;
  }
  if (!any) return std::nullopt;  // the still path tells why
  return std::move(frames).Finish(loops);
}

std::optional<Decoded> ReadApng(const QByteArray& bytes, QSize box, int quarter_turns) {
  auto apng = neutral::SplitApng(std::string_view(bytes.constData(), bytes.size()));
  if (!apng) return std::nullopt;
  QImage canvas(apng->width, apng->height, QImage::Format_ARGB32_Premultiplied);
  if (canvas.isNull()) throw Error("out of memory");
  canvas.fill(Qt::transparent);
  FrameCollector frames(box, quarter_turns);
  QColorSpace colour;
  for (std::size_t i = 0; i < apng->frames.size(); ++i) {
    neutral::ApngFrame& f = apng->frames[i];
    QImage part = QImage::fromData(reinterpret_cast<const uchar*>(f.png.data()),
                                   static_cast<int>(f.png.size()), "png");
    std::string().swap(f.png);
    if (part.size() != QSize(f.width, f.height)) {
      if (i == 0) throw Error("APNG: unreadable first frame");
      break;  // play what came before the damage
    }
    if (i == 0) colour = part.colorSpace();
    const QRect area(f.x, f.y, f.width, f.height);
    const QImage before = f.dispose == neutral::ApngFrame::kPrevious ? canvas.copy(area) : QImage();
    {
      QPainter painter(&canvas);
      painter.setCompositionMode(f.blend ? QPainter::CompositionMode_SourceOver
                                         : QPainter::CompositionMode_Source);
      painter.drawImage(area.topLeft(), part);
    }  // ended before the canvas is shared with the kept frame
    if (!frames.Add(canvas, f.delay_ms)) break;
    if (f.dispose != neutral::ApngFrame::kNone) {
      QPainter painter(&canvas);
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      if (f.dispose == neutral::ApngFrame::kBackground) painter.fillRect(area, Qt::transparent);
      if (f.dispose == neutral::ApngFrame::kPrevious) painter.drawImage(area.topLeft(), before);
    }
  }
  return std::move(frames).Finish(apng->loops, colour);
}

}  // namespace

bool FrameCollector::Add(const QImage& frame, int delay_ms) {
  if (frame.isNull()) return false;
  if (out_.full.isEmpty()) {
    out_.full = frame.size();
    fitted_ = FittedSize(frame.size(), Turned(box_, quarter_turns_));
  }
  const qint64 kept = kept_ + qint64(fitted_.width()) * fitted_.height();
  const qint64 work = work_ + qint64(frame.width()) * frame.height();
  const std::size_t count = out_.frames.size() + (first_.isNull() ? 0 : 1);
  if (count > 0 && (kept > neutral::kMaxAnimationPixels || work > neutral::kMaxAnimationWork ||
                    count >= std::size_t(neutral::kMaxFrames)))
    return false;
  kept_ = kept;
  work_ = work;
  if (count == 0) {
    first_ = frame;
    first_delay_ = delay_ms;
    return true;
  }
  if (!first_.isNull()) {
    Keep(first_, first_delay_);
    first_ = QImage();
  }
  Keep(frame, delay_ms);
  return true;
}

void FrameCollector::Keep(const QImage& frame, int delay_ms) {
  const QImage opaque = Opaque(frame);
  QImage scaled = ScaledTo(opaque, fitted_);
  if (scaled.isNull()) throw Error("out of memory");
  scaled.setColorSpace(opaque.colorSpace());
  out_.frames.push_back({std::move(scaled), neutral::FrameDelay(delay_ms)});
}

Decoded FrameCollector::Finish(int loops, const QColorSpace& colour) && {
  // One that Qt cannot use still holds the profile, for Little CMS.
  const bool tagged = colour.isValid() || !colour.iccProfile().isEmpty();
  if (!first_.isNull()) {
    // A still picture: its source kept large enough for later turns and sizes.
    if (tagged) first_.setColorSpace(colour);
    return Finished({std::move(first_), out_.full}, box_, quarter_turns_);
  }
  if (out_.frames.empty()) throw Error("no picture");
  for (Frame& f : out_.frames) {
    if (tagged) f.image.setColorSpace(colour);
    ToSrgb(f.image);
  }
  out_.source = out_.frames.front().image;
  for (Frame& f : out_.frames) {
    f.image = TurnedImage(f.image, quarter_turns_);
    if (f.image.isNull()) throw Error("out of memory");
  }
  out_.image = out_.frames.front().image;
  out_.loops = loops;
  return std::move(out_);
}

QColorSpace ColourSpaceOf(const std::string& icc) {
  if (icc.empty()) return {};
  return QColorSpace::fromIccProfile(QByteArray(icc.data(), static_cast<qsizetype>(icc.size())));
}

std::optional<Decoded> ReadAnimation(const QByteArray& bytes, Format format, QSize box,
                                     int quarter_turns) {
  if (format == Format::kPng) return ReadApng(bytes, box, quarter_turns);
  return ReadQtFrames(bytes, format, box, quarter_turns);
}

}  // namespace mirvane::platform::qt::image
