#include "platform/qt/image/qt_rastrel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTransform>
#include <algorithm>
#include <cmath>
#include <new>

#include "platform/error.h"
#include "platform/qt/image/decode.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/safe_file.h"
#include "platform/qt/twips.h"

namespace mirvane::platform::qt {
namespace {

QImage TurnedImage(const QImage& image, int quarter_turns) {
  if (quarter_turns % 4 == 0) return image;
  return image.transformed(QTransform().rotate(90.0 * quarter_turns));
}

}  // namespace

QtRastrel::QtRastrel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  connect(&playback_, &QtPlayback::frameChanged, this, [this](int i) {
    image_ = frames_[std::size_t(i)].image;
    update();
  });
}

void QtRastrel::SourcePath(const std::string& name) { source_path_ = name; }

void QtRastrel::Render() {
  image::Decoded decoded;
  try {
    decoded = image::Decode(image::ReadRegularFile(source_path_), size(), source_path_);
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Error(source_path_ + ": out of memory");
  } catch (const std::exception& e) {
    throw Error(source_path_ + ": " + e.what());
  }
  full_ = decoded.full;
  quarter_turns_ = 0;
  shown_path_ = source_path_;
  Keep(std::move(decoded), false);
}

void QtRastrel::Keep(image::Decoded decoded, bool refitted) {
  const bool same_animation =
      refitted && decoded.frames.size() == frames_.size() && !frames_.empty();
  frames_ = std::move(decoded.frames);
  scalable_ = decoded.scalable;
  if (same_animation) {  // refitted: play on from the frame on view
    image_ = frames_[std::size_t(playback_.current())].image;
  } else {
    image_ = std::move(decoded.image);
    std::vector<int> delays;
    for (const image::Frame& f : frames_) delays.push_back(f.delay_ms);
    playback_.Load(std::move(delays), decoded.loops);
  }
  update();
}

std::int32_t QtRastrel::PictureHeight() const {
  return image::Turned(full_, quarter_turns_).height();
}

std::int32_t QtRastrel::PictureWidth() const {
  return image::Turned(full_, quarter_turns_).width();
}

void QtRastrel::Turn(std::int16_t tenths_of_degree) {
  const int quarters = static_cast<int>(std::lround(tenths_of_degree / 900.0)) % 4;
  if (quarters == 0 || image_.isNull()) return;
  const int clockwise = (quarters + 4) % 4;
  QImage turned = TurnedImage(image_, clockwise);
  if (turned.isNull()) throw Error("out of memory");
  std::vector<image::Frame> frames = frames_;
  for (image::Frame& f : frames) {
    f.image = TurnedImage(f.image, clockwise);
    if (f.image.isNull()) throw Error("out of memory");
  }
  frames_ = std::move(frames);
  image_ = frames_.empty() ? std::move(turned) : frames_[std::size_t(playback_.current())].image;
  quarter_turns_ = (quarter_turns_ + clockwise) % 4;
  FitToSlot();
  update();
}

void QtRastrel::Refit(std::int16_t /*mode*/) {
  FitToSlot();
  update();
}

void QtRastrel::FitToSlot() {
  if (image_.isNull()) return;
  try {
    const QSize picture = image::Turned(full_, quarter_turns_);
    const QSize target = image::FittedSize(picture, size());
    if (target == image_.size()) return;
    const bool larger = target.width() > image_.width() || target.height() > image_.height();
    const bool reduced = image_.width() < picture.width() || image_.height() < picture.height();
    if (larger && (reduced || scalable_)) {
      if (auto sharper = Reread()) {
        Keep(std::move(*sharper), true);
        return;
      }
    }
    QImage scaled = image_.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    std::vector<image::Frame> frames = frames_;
    for (image::Frame& f : frames) {
      f.image = f.image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      if (f.image.isNull()) return;
    }
    if (scaled.isNull()) return;
    frames_ = std::move(frames);
    image_ = frames_.empty() ? std::move(scaled) : frames_[std::size_t(playback_.current())].image;
  } catch (...) {
    // Keep what is on view: a refit must not fail.
  }
}

std::optional<image::Decoded> QtRastrel::Reread() const {
  try {
    const QSize box = image::Turned(size(), quarter_turns_);
    image::Decoded decoded = image::Decode(image::ReadRegularFile(shown_path_), box, shown_path_);
    if (decoded.full != full_) return std::nullopt;  // the file now holds another picture
    decoded.image = TurnedImage(decoded.image, quarter_turns_);
    if (decoded.image.isNull()) return std::nullopt;
    for (image::Frame& f : decoded.frames) {
      f.image = TurnedImage(f.image, quarter_turns_);
      if (f.image.isNull()) return std::nullopt;
    }
    return decoded;
  } catch (...) {
    return std::nullopt;
  }
}

void QtRastrel::Left(float twips) { move(ToPixels(twips, *this), y()); }

void QtRastrel::Top(float twips) { move(x(), ToPixels(twips, *this)); }

void QtRastrel::Width(float twips) { resize(std::max(0, ToPixels(twips, *this)), height()); }

void QtRastrel::Height(float twips) { resize(width(), std::max(0, ToPixels(twips, *this))); }

void QtRastrel::Visible(bool on) { setVisible(on); }

void QtRastrel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (image_.isNull()) return;
  QSize shown = image_.size();
  if (shown.width() > width() || shown.height() > height()) {
    // Resized but not yet refitted: still show the whole picture.
    shown = image::FittedSize(shown, size());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
  }
  const QRect target(QPoint((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown);
  painter.drawImage(target, image_);
}

void QtRastrel::showEvent(QShowEvent* /*event*/) { playback_.SetOn(true); }

void QtRastrel::hideEvent(QHideEvent* /*event*/) { playback_.SetOn(false); }

void QtRastrel::mousePressEvent(QMouseEvent* event) {
  int button = 0;
  if (event->button() == Qt::LeftButton) button = 1;
  if (event->button() == Qt::RightButton) button = 2;
  if (event->button() == Qt::MiddleButton) button = 4;
  const Qt::KeyboardModifiers mods = event->modifiers();
  const int shift = (mods & Qt::ShiftModifier ? 1 : 0) | (mods & Qt::ControlModifier ? 2 : 0) |
                    (mods & Qt::AltModifier ? 4 : 0);
  const QPoint at = event->position().toPoint();
  emit mouseDown(button, shift, ToTwips(at.x(), *this), ToTwips(at.y(), *this));
  event->accept();
}

}  // namespace mirvane::platform::qt
