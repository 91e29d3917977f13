#include "platform/qt/image/qt_rastrel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "image/error.h"
#include "platform/error.h"
#include "platform/qt/image/qt_host.h"
#include "platform/qt/twips.h"

namespace mirvane::platform::qt {
namespace {

namespace pipeline = mirvane::image;

// How long the size must stay put before a sharper decode is worth its time.
constexpr int kSettleMs = 250;

}  // namespace

QtRastrel::QtRastrel(QWidget* parent)
    : QWidget(parent),
      showing_(QtHost(), {[this] { return Box(); }, [this] { return isVisible(); },
                          [this] { update(); },
                          [this](bool run) { run ? settle_.start() : settle_.stop(); },
                          [this](int delay_ms) { frame_.start(delay_ms); },
                          [this] { frame_.stop(); }}) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, [this] { showing_.Settled(); });
  frame_.setSingleShot(true);
  frame_.setTimerType(Qt::PreciseTimer);  // delays of a few tens of ms are the picture's pace
  connect(&frame_, &QTimer::timeout, this, [this] { showing_.NextFrame(); });
}

void QtRastrel::SourcePath(const std::string& name) { showing_.SourcePath(name); }

void QtRastrel::Render() {
  try {
    showing_.Render(ahead_);
  } catch (const pipeline::Error& e) {  // the pipeline's error, as the slot's own
    throw Error(e.what());
  }
}

std::int32_t QtRastrel::PictureHeight() const { return showing_.Picture().height; }

std::int32_t QtRastrel::PictureWidth() const { return showing_.Picture().width; }

void QtRastrel::Turn(std::int16_t tenths_of_degree) {
  try {
    showing_.Turn(static_cast<int>(std::lround(tenths_of_degree / 900.0)));
  } catch (const pipeline::Error& e) {
    throw Error(e.what());
  }
}

void QtRastrel::Refit(std::int16_t /*mode*/) { showing_.Refit(); }

pipeline::Size QtRastrel::Box() const {
  const QSize box = (QSizeF(size()) * devicePixelRatioF()).toSize();
  return {box.width(), box.height()};
}

QImage QtRastrel::Shown() const {
  const pipeline::Pixels& image = showing_.image();
  if (image.argb.empty()) return {};
  return QImage(reinterpret_cast<const uchar*>(image.argb.data()), image.width, image.height,
                qsizetype(image.width) * 4, QImage::Format_RGB32)
      .copy();
}

void QtRastrel::Left(float twips) { move(ToPixels(twips, *this), y()); }

void QtRastrel::Top(float twips) { move(x(), ToPixels(twips, *this)); }

void QtRastrel::Width(float twips) { resize(std::max(0, ToPixels(twips, *this)), height()); }

void QtRastrel::Height(float twips) { resize(width(), std::max(0, ToPixels(twips, *this))); }

void QtRastrel::Visible(bool on) {
  if (!on) showing_.Visible(false);
  setVisible(on);
  if (on) showing_.Visible(true);
}

void QtRastrel::paintEvent(QPaintEvent* /*event*/) {
  showing_.Refresh();  // moved to a screen with another ratio
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const pipeline::Pixels& image = showing_.image();
  if (image.argb.empty()) return;
  // Device pixels, one to one.
  const qreal ratio = devicePixelRatioF();
  painter.scale(1 / ratio, 1 / ratio);
  const pipeline::Size box = Box();
  pipeline::Size shown{image.width, image.height};
  if (shown.width > box.width || shown.height > box.height) {
    // Resized but not yet refitted: still show the whole picture.
    shown = pipeline::FittedSize(shown, box);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
  }
  const QImage view(reinterpret_cast<const uchar*>(image.argb.data()), image.width, image.height,
                    qsizetype(image.width) * 4, QImage::Format_RGB32);
  const QPoint at((box.width - shown.width) / 2, (box.height - shown.height) / 2);
  painter.drawImage(QRect(at, QSize(shown.width, shown.height)), view);
}

void QtRastrel::showEvent(QShowEvent* /*event*/) { showing_.Playing(true); }

void QtRastrel::hideEvent(QHideEvent* /*event*/) { showing_.Playing(false); }

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
