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

QtRastrel::QtRastrel(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

void QtRastrel::SourcePath(const std::string& name) { source_path_ = name; }

void QtRastrel::Render() {
  image::Decoded decoded;
  try {
    decoded = image::Decode(image::ReadRegularFile(source_path_), size());
  } catch (const Error&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw Error(source_path_ + ": out of memory");
  } catch (const std::exception& e) {
    throw Error(source_path_ + ": " + e.what());
  }
  image_ = std::move(decoded.image);
  full_ = decoded.full;
  quarter_turns_ = 0;
  shown_path_ = source_path_;
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
  image_ = std::move(turned);
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
    if (larger && reduced) {
      if (auto sharper = Reread()) {
        image_ = std::move(*sharper);
        return;
      }
    }
    QImage scaled = image_.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (!scaled.isNull()) image_ = std::move(scaled);
  } catch (...) {
    // Keep what is on view: a refit must not fail.
  }
}

std::optional<QImage> QtRastrel::Reread() const {
  try {
    const QSize box = image::Turned(size(), quarter_turns_);
    image::Decoded decoded = image::Decode(image::ReadRegularFile(shown_path_), box);
    if (decoded.full != full_) return std::nullopt;  // the file now holds another picture
    QImage turned = TurnedImage(decoded.image, quarter_turns_);
    if (turned.isNull()) return std::nullopt;
    return turned;
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
