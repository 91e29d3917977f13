#include "platform/qt/image/qt_rastrel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "platform/error.h"
#include "platform/posix/regular_file.h"
#include "platform/qt/image/decode.h"
#include "platform/qt/image/fit.h"
#include "platform/qt/image/qt_next_pictures.h"
#include "platform/qt/image/safe_file.h"
#include "platform/qt/twips.h"

namespace mirvane::platform::qt {
namespace {

// How long the size must stay put before a sharper decode is worth its time.
constexpr int kSettleMs = 250;

// The file as it stands, taken before it is read: a change made while it is read then
// shows as a change too.
std::optional<mirvane::image::FileIdentity> IdentityOf(const std::string& name) {
  const posix::RegularFile file(name);
  if (!file.is_open()) return std::nullopt;
  return file.identity();
}

}  // namespace

QtRastrel::QtRastrel(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &QtRastrel::Settled);
  connect(&playback_, &QtPlayback::frameChanged, this, [this](int i) {
    QImage behind =
        frames_behind_ ? FrameFor(std::size_t(i), DeviceBox(), quarter_turns_) : QImage();
    image_ = behind.isNull() ? frames_[std::size_t(i)].image : std::move(behind);
    update();
  });
}

void QtRastrel::SourcePath(const std::string& name) { source_path_ = name; }

void QtRastrel::Render() {
  std::optional<mirvane::image::FileIdentity> file = IdentityOf(source_path_);
  image::Supplied supplied = ahead_ ? ahead_->Supply(source_path_, DeviceBox())
                                    : image::DecodeNow(source_path_, DeviceBox());
  full_ = supplied.decoded.full;
  quarter_turns_ = 0;
  shown_path_ = source_path_;
  shown_file_ = file;
  settle_.stop();
  sharpener_.Cancel();
  turned_ahead_ = QImage();
  const bool still = supplied.decoded.frames.empty();
  Keep(std::move(supplied.decoded), false, supplied.quarter_turns);
  if (still && supplied.quarter_turns == 1) {
    // Kept for the quarter turn that asks for it.
    turned_ahead_ = std::exchange(image_, QImage());
  }
}

void QtRastrel::Keep(image::Decoded decoded, bool refitted, int decoded_turns) {
  const bool same_animation =
      refitted && decoded.frames.size() == frames_.size() && !frames_.empty();
  source_ = std::move(decoded.source);
  decoded_frames_ = std::move(decoded.frames);
  frames_ = decoded_frames_;
  frames_behind_ = false;
  frames_turns_ = decoded_turns;
  scalable_ = decoded.scalable;
  ratio_ = devicePixelRatioF();
  if (same_animation) {  // refitted: play on from the frame on view
    image_ = frames_[std::size_t(playback_.current())].image;
  } else {
    image_ = std::move(decoded.image);
    if (!frames_.empty() && decoded_turns != quarter_turns_) {
      // Prepared turned: the Turn that asks for it takes the frames as they are; only
      // without one are the others brought upright, as they come up.
      QImage first = FrameFor(0, DeviceBox(), quarter_turns_);
      if (first.isNull()) throw Error("out of memory");
      image_ = std::move(first);
      frames_behind_ = true;
    }
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
  if (UseTurnedAhead((quarters + 4) % 4)) return;
  if (quarters == 0 || source_.isNull()) return;
  const int turns = (quarter_turns_ + quarters + 4) % 4;
  const QSize box = DeviceBox();
  if (frames_.empty()) {
    // Made from what is kept, which covers the turned fit: no second decode.
    QImage turned = image::Refitted(source_, full_, box, turns);
    if (turned.isNull()) throw Error("out of memory");
    image_ = std::move(turned);
  } else {
    std::vector<image::Frame> frames = FramesFor(box, turns);
    if (frames.empty()) throw Error("out of memory");
    frames_ = std::move(frames);
    frames_behind_ = false;
    image_ = frames_[std::size_t(playback_.current())].image;
  }
  ratio_ = devicePixelRatioF();
  quarter_turns_ = turns;
  if (image::Softer(source_, full_, box, quarter_turns_, scalable_) && isVisible()) settle_.start();
  update();
}

void QtRastrel::Refit(std::int16_t /*mode*/) {
  SettleAhead();
  FitToSlot();
  update();
}

QSize QtRastrel::DeviceBox() const { return (QSizeF(size()) * devicePixelRatioF()).toSize(); }

std::vector<image::Frame> QtRastrel::FramesFor(QSize box, int quarter_turns) const {
  std::vector<image::Frame> frames = decoded_frames_;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    frames[i].image = FrameFor(i, box, quarter_turns);
    if (frames[i].image.isNull()) return {};
  }
  return frames;
}

QImage QtRastrel::FrameFor(std::size_t index, QSize box, int quarter_turns) const {
  // From the frames as decoded, so that shrinking and growing again loses nothing.
  const QSize fitted =
      image::Turned(image::FittedSize(full_, image::Turned(box, quarter_turns)), quarter_turns);
  const int turns = (quarter_turns - frames_turns_ + 4) % 4;
  return image::ScaledTo(image::TurnedImage(decoded_frames_[index].image, turns), fitted);
}

void QtRastrel::FitToSlot() {
  if (source_.isNull()) return;
  try {
    const QSize box = DeviceBox();
    const qreal ratio = devicePixelRatioF();
    const QSize target =
        image::Turned(image::FittedSize(full_, image::Turned(box, quarter_turns_)), quarter_turns_);
    if (target != image_.size() || ratio != ratio_) {
      if (frames_.empty()) {
        QImage fitted = image::Refitted(source_, full_, box, quarter_turns_);
        if (!fitted.isNull()) image_ = std::move(fitted), ratio_ = ratio;
      } else if (isVisible()) {
        // Every frame at every resize event would hold up the window: the one on view now,
        // the others as they come up and once the size has settled.
        QImage frame = FrameFor(std::size_t(playback_.current()), box, quarter_turns_);
        if (!frame.isNull()) image_ = std::move(frame), ratio_ = ratio, frames_behind_ = true;
      } else {
        std::vector<image::Frame> frames = FramesFor(box, quarter_turns_);
        if (!frames.empty()) {
          frames_ = std::move(frames);
          frames_behind_ = false;
          image_ = frames_[std::size_t(playback_.current())].image;
          ratio_ = ratio;
        }
      }
    }
    if ((frames_behind_ || image::Softer(source_, full_, box, quarter_turns_, scalable_)) &&
        isVisible())
      settle_.start();  // restarted by every resize until the size settles
    else
      settle_.stop();
  } catch (...) {
    // Keep what is on view: a refit must not fail.
  }
}

void QtRastrel::Settled() {
  // A sharper decode brings all frames; without one, those kept are fitted.
  if (image::Softer(source_, full_, DeviceBox(), quarter_turns_, scalable_)) Sharpen();
  if (!frames_behind_) return;
  try {
    std::vector<image::Frame> frames = FramesFor(DeviceBox(), quarter_turns_);
    if (frames.empty()) return;  // still fitted as they come up
    frames_ = std::move(frames);
    frames_behind_ = false;
    image_ = frames_[std::size_t(playback_.current())].image;
    update();
  } catch (...) {
    // Likewise.
  }
}

void QtRastrel::Sharpen() {
  if (!isVisible() || !shown_file_) return;
  const QSize box = DeviceBox();
  const int turns = quarter_turns_;
  // A Render or a hide in between cancels it; a resize or a turn makes it stale.
  sharpener_.Start({shown_path_, *shown_file_, box, turns},
                   [this, box, turns](image::Decoded decoded) {
                     if (box != DeviceBox() || turns != quarter_turns_ || decoded.full != full_)
                       return;
                     try {
                       Keep(std::move(decoded), true, quarter_turns_);
                     } catch (...) {
                       // Keep the softer picture on view.
                     }
                   });
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
    frames_.clear();
    frames_behind_ = false;
    decoded_frames_.clear();
    playback_.Load({}, 0);
    full_ = QSize(0, 0);
    quarter_turns_ = 0;
    shown_file_.reset();
    settle_.stop();
    sharpener_.Cancel();
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
