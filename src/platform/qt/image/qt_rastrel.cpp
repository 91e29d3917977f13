#include "platform/qt/image/qt_rastrel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "platform/error.h"
#include "platform/qt/image/decode.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/qt_next_pictures.h"
#include "platform/qt/image/safe_file.h"
#include "platform/qt/twips.h"

namespace mirvane::platform::qt {
namespace {

// How long the size must stay put before a sharper decode is worth its time.
constexpr int kSettleMs = 250;

}  // namespace

QtRastrel::QtRastrel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &QtRastrel::Sharpen);
}

void QtRastrel::SourcePath(const std::string& name) { source_path_ = name; }

void QtRastrel::Render() {
  const qreal ratio = devicePixelRatioF();
  image::Supplied supplied = ahead_ ? ahead_->Supply(source_path_, DeviceBox())
                                    : image::DecodeNow(source_path_, DeviceBox());
  source_ = std::move(supplied.source);
  image_ = supplied.quarter_turns == 1 ? QImage() : std::move(supplied.image);
  turned_ahead_ = supplied.quarter_turns == 1 ? std::move(supplied.image) : QImage();
  ratio_ = ratio;
  full_ = supplied.full;
  quarter_turns_ = 0;
  shown_path_ = source_path_;
  settle_.stop();
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
  if (UseTurnedAhead((quarters + 4) % 4)) return;
  if (quarters == 0 || source_.isNull()) return;
  const int clockwise = (quarters + 4) % 4;
  // Made from what is kept, which covers the turned fit: no second decode.
  QImage turned = image::Refitted(source_, full_, DeviceBox(), (quarter_turns_ + clockwise) % 4);
  if (turned.isNull()) throw Error("out of memory");
  image_ = std::move(turned);
  ratio_ = devicePixelRatioF();
  quarter_turns_ = (quarter_turns_ + clockwise) % 4;
  if (image::Softer(source_, full_, DeviceBox(), quarter_turns_) && isVisible()) settle_.start();
  update();
}

void QtRastrel::Refit(std::int16_t /*mode*/) {
  SettleAhead();
  FitToSlot();
  update();
}

QSize QtRastrel::DeviceBox() const { return (QSizeF(size()) * devicePixelRatioF()).toSize(); }

void QtRastrel::FitToSlot() {
  if (source_.isNull()) return;
  try {
    const QSize box = DeviceBox();
    const qreal ratio = devicePixelRatioF();
    const QSize target =
        image::Turned(image::FittedSize(full_, image::Turned(box, quarter_turns_)), quarter_turns_);
    if (target != image_.size() || ratio != ratio_) {
      QImage fitted = image::Refitted(source_, full_, box, quarter_turns_);
      if (!fitted.isNull()) image_ = std::move(fitted), ratio_ = ratio;
    }
    if (image::Softer(source_, full_, box, quarter_turns_) && isVisible())
      settle_.start();  // restarted by every resize until the size settles
    else
      settle_.stop();
  } catch (...) {
    // Keep what is on view: a refit must not fail.
  }
}

void QtRastrel::Sharpen() {
  if (!isVisible() || shown_path_.empty()) return;
  try {
    const qreal ratio = devicePixelRatioF();
    image::Decoded decoded =
        image::Decode(image::ReadRegularFile(shown_path_), DeviceBox(), quarter_turns_);
    if (decoded.full != full_) return;  // the file now holds another picture
    source_ = std::move(decoded.source);
    image_ = std::move(decoded.image);
    ratio_ = ratio;
    update();
  } catch (...) {
    // Keep the softer picture on view.
  }
}

void QtRastrel::Left(float twips) { move(ToPixels(twips, *this), y()); }

void QtRastrel::Top(float twips) { move(x(), ToPixels(twips, *this)); }

void QtRastrel::Width(float twips) { resize(std::max(0, ToPixels(twips, *this)), height()); }

void QtRastrel::Height(float twips) { resize(width(), std::max(0, ToPixels(twips, *this))); }

void QtRastrel::Visible(bool on) {
  if (on) {
    SettleAhead();
  } else {
    image_ = source_ = turned_ahead_ = QImage();
    full_ = QSize(0, 0);
    quarter_turns_ = 0;
    settle_.stop();
  }
  setVisible(on);
  if (on) FitToSlot();  // a hidden slot is never sharpened: now is the time
}

bool QtRastrel::UseTurnedAhead(int clockwise) {
  if (turned_ahead_.isNull()) return false;
  if (clockwise != 1) {
    SettleAhead();
    return false;
  }
  image_ = std::exchange(turned_ahead_, QImage());
  quarter_turns_ = 1;
  update();
  return true;
}

void QtRastrel::SettleAhead() {
  if (turned_ahead_.isNull()) return;
  turned_ahead_ = QImage();
  QImage upright = image::Refitted(source_, full_, DeviceBox(), 0);
  if (!upright.isNull()) image_ = std::move(upright);
  update();
}

void QtRastrel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (image_.isNull()) return;
  const qreal ratio = devicePixelRatioF();
  if (ratio != ratio_) FitToSlot();  // moved to a screen with another ratio
  // Device pixels, one to one.
  painter.scale(1 / ratio, 1 / ratio);
  const QSize box = DeviceBox();
  QSize shown = image_.size();
  if (shown.width() > box.width() || shown.height() > box.height()) {
    // Resized but not yet refitted: still show the whole picture.
    shown = image::FittedSize(shown, box);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
  }
  const QPoint at((box.width() - shown.width()) / 2, (box.height() - shown.height()) / 2);
  painter.drawImage(QRect(at, shown), image_);
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
