#include "platform/qt/image/qt_rastrel.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "image/error.h"
#include "image/finish.h"
#include "image/pixel_steps.h"
#include "image/prepare.h"
#include "platform/error.h"
#include "platform/posix/regular_file.h"
#include "platform/qt/image/qt_host.h"
#include "platform/qt/twips.h"

namespace mirvane::platform::qt {
namespace {

namespace pipeline = mirvane::image;
using pipeline::Size;

// How long the size must stay put before a sharper decode is worth its time.
constexpr int kSettleMs = 250;

// The file as it stands, taken before it is read: a change made while it is read then
// shows as a change too.
std::optional<pipeline::FileIdentity> IdentityOf(const std::string& name) {
  const posix::RegularFile file(name);
  if (!file.is_open()) return std::nullopt;
  return file.identity_at_open();
}

Size SizeOf(const pipeline::Pixels& pixels) { return {pixels.width, pixels.height}; }

// The pipeline's errors, and running out of memory, as the slot's own.
template <typename F>
auto AsSlotError(F&& f) {
  try {
    return f();
  } catch (const pipeline::Error& e) {
    throw Error(e.what());
  } catch (const std::bad_alloc&) {
    throw Error("out of memory");
  }
}

}  // namespace

QtRastrel::QtRastrel(QWidget* parent) : QWidget(parent), sharpener_(QtHost()) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMs);
  connect(&settle_, &QTimer::timeout, this, &QtRastrel::Settled);
  connect(&playback_, &QtPlayback::frameChanged, this, [this](int i) {
    try {
      image_ = frames_behind_ ? FrameFor(std::size_t(i), Box(), quarter_turns_)
                              : frames_[std::size_t(i)].image;
    } catch (...) {
      image_ = frames_[std::size_t(i)].image;  // not refitted, still drawn whole
    }
    update();
  });
}

void QtRastrel::SourcePath(const std::string& name) { source_path_ = name; }

void QtRastrel::Render() {
  AsSlotError([&] {
    std::optional<pipeline::FileIdentity> file = IdentityOf(source_path_);
    pipeline::Supplied supplied = ahead_ ? ahead_->Supply(source_path_, Box())
                                         : pipeline::DecodeNow(source_path_, Box(), QtHost());
    const bool still = supplied.decoded.frames.empty();
    const int prepared_turns = supplied.quarter_turns;
    const Size full = supplied.decoded.full;
    const int before_turns = std::exchange(quarter_turns_, 0);
    try {
      Keep(std::move(supplied.decoded), false, prepared_turns);
    } catch (...) {
      quarter_turns_ = before_turns;
      throw;
    }
    full_ = full;
    shown_path_ = source_path_;
    shown_file_ = file;
    settle_.stop();
    sharpener_.Cancel();
    turned_ahead_ = {};
    // Kept for the quarter turn that asks for it.
    if (still && prepared_turns == 1) turned_ahead_ = std::exchange(image_, Pixels{});
  });
}

void QtRastrel::Keep(pipeline::Decoded decoded, bool sharper, int decoded_turns) {
  // Everything is made before anything changes: on a throw the slot shows what it did.
  const bool same_animation =
      sharper && decoded.frames.size() == frames_.size() && !frames_.empty();
  Pixels image;
  bool behind = false;
  std::vector<int> delays;
  if (same_animation) {  // sharper: play on from the frame on view
    image = decoded.frames[std::size_t(playback_.current())].image;
  } else {
    image = std::move(decoded.image);
    for (const pipeline::Frame& f : decoded.frames) delays.push_back(f.delay_ms);
  }
  std::vector<pipeline::Frame> frames = decoded.frames;
  if (!same_animation && !frames.empty() && decoded_turns != quarter_turns_) {
    // Prepared turned: the Turn that asks for it takes the frames as they are; only
    // without one are the others brought upright, as they come up.
    const Size fitted = pipeline::Turned(
        pipeline::FittedSize(decoded.full, pipeline::Turned(Box(), quarter_turns_)), quarter_turns_);
    const int turns = (quarter_turns_ - decoded_turns + 4) % 4;
    image = pipeline::Scaled(pipeline::TurnedClockwise(frames.front().image, turns), fitted);
    behind = true;
  }
  source_ = std::move(decoded.source);
  decoded_frames_ = std::move(decoded.frames);
  frames_ = std::move(frames);
  frames_behind_ = behind;
  frames_turns_ = decoded_turns;
  scalable_ = decoded.scalable;
  ratio_ = devicePixelRatioF();
  image_ = std::move(image);
  if (!same_animation) playback_.Load(std::move(delays), decoded.loops);
  update();
}

std::int32_t QtRastrel::PictureHeight() const { return pipeline::Turned(full_, quarter_turns_).height; }

std::int32_t QtRastrel::PictureWidth() const { return pipeline::Turned(full_, quarter_turns_).width; }

void QtRastrel::Turn(std::int16_t tenths_of_degree) {
  AsSlotError([&] {
    const int quarters = static_cast<int>(std::lround(tenths_of_degree / 900.0)) % 4;
    if (UseTurnedAhead((quarters + 4) % 4)) return;
    if (quarters == 0 || source_.argb.empty()) return;
    const int turns = (quarter_turns_ + quarters + 4) % 4;
    const Size box = Box();
    if (frames_.empty()) {
      // Made from what is kept, which covers the turned fit: no second decode.
      image_ = pipeline::Refitted(source_, full_, box, turns);
    } else {
      std::vector<pipeline::Frame> frames = FramesFor(box, turns);
      image_ = frames[std::size_t(playback_.current())].image;
      frames_ = std::move(frames);
      frames_behind_ = false;
    }
    ratio_ = devicePixelRatioF();
    quarter_turns_ = turns;
    if (Softer() && isVisible()) settle_.start();
    update();
  });
}

void QtRastrel::Refit(std::int16_t /*mode*/) {
  BringUpright();
  FitToSlot();
  update();
}

Size QtRastrel::Box() const {
  const QSize box = (QSizeF(size()) * devicePixelRatioF()).toSize();
  return {box.width(), box.height()};
}

QImage QtRastrel::Shown() const {
  if (image_.argb.empty()) return {};
  return QImage(reinterpret_cast<const uchar*>(image_.argb.data()), image_.width, image_.height,
                qsizetype(image_.width) * 4, QImage::Format_RGB32)
      .copy();
}

bool QtRastrel::Softer() const {
  return pipeline::Softer(SizeOf(source_), full_, Box(), quarter_turns_, scalable_);
}

std::vector<pipeline::Frame> QtRastrel::FramesFor(Size box, int quarter_turns) const {
  std::vector<pipeline::Frame> frames = decoded_frames_;
  for (std::size_t i = 0; i < frames.size(); ++i) frames[i].image = FrameFor(i, box, quarter_turns);
  return frames;
}

pipeline::Pixels QtRastrel::FrameFor(std::size_t index, Size box, int quarter_turns) const {
  // From the frames as decoded, so that shrinking and growing again loses nothing.
  const Size fitted =
      pipeline::Turned(pipeline::FittedSize(full_, pipeline::Turned(box, quarter_turns)), quarter_turns);
  const int turns = (quarter_turns - frames_turns_ + 4) % 4;
  return pipeline::Scaled(pipeline::TurnedClockwise(decoded_frames_[index].image, turns), fitted);
}

void QtRastrel::FitToSlot() {
  if (source_.argb.empty()) return;
  try {
    const Size box = Box();
    const qreal ratio = devicePixelRatioF();
    const Size target = pipeline::Turned(
        pipeline::FittedSize(full_, pipeline::Turned(box, quarter_turns_)), quarter_turns_);
    if (!(target == SizeOf(image_)) || ratio != ratio_) {
      if (frames_.empty()) {
        image_ = pipeline::Refitted(source_, full_, box, quarter_turns_);
        ratio_ = ratio;
      } else if (isVisible()) {
        // Every frame at every resize event would hold up the window: the one on view now,
        // the others as they come up and once the size has settled.
        image_ = FrameFor(std::size_t(playback_.current()), box, quarter_turns_);
        ratio_ = ratio;
        frames_behind_ = true;
      } else {
        std::vector<pipeline::Frame> frames = FramesFor(box, quarter_turns_);
        image_ = frames[std::size_t(playback_.current())].image;
        frames_ = std::move(frames);
        frames_behind_ = false;
        ratio_ = ratio;
      }
    }
    if ((frames_behind_ || Softer()) && isVisible())
      settle_.start();  // restarted by every resize until the size settles
    else
      settle_.stop();
  } catch (...) {
    // Keep what is on view: a refit must not fail.
  }
}

void QtRastrel::Settled() {
  // A sharper decode brings all frames; without one, those kept are fitted.
  if (Softer()) Sharpen();
  if (!frames_behind_) return;
  try {
    std::vector<pipeline::Frame> frames = FramesFor(Box(), quarter_turns_);
    image_ = frames[std::size_t(playback_.current())].image;
    frames_ = std::move(frames);
    frames_behind_ = false;
    update();
  } catch (...) {
    // Still fitted as they come up.
  }
}

void QtRastrel::Sharpen() {
  if (!isVisible() || !shown_file_) return;
  const Size box = Box();
  const int turns = quarter_turns_;
  // A Render or a hide in between cancels it; a resize or a turn makes it stale.
  sharpener_.Start({shown_path_, *shown_file_, box, turns},
                   [this, box, turns](pipeline::Decoded decoded) {
                     if (!(box == Box()) || turns != quarter_turns_ || !(decoded.full == full_))
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

void QtRastrel::Clear() {
  image_ = source_ = turned_ahead_ = {};
  frames_.clear();
  frames_behind_ = false;
  decoded_frames_.clear();
  playback_.Load({}, 0);
  full_ = {0, 0};
  quarter_turns_ = 0;
  shown_file_.reset();
  settle_.stop();
  sharpener_.Cancel();
}

void QtRastrel::Visible(bool on) {
  if (on) {
    BringUpright();
  } else {
    Clear();
  }
  setVisible(on);
  if (on) FitToSlot();  // a hidden slot is never sharpened: now is the time
}

bool QtRastrel::UseTurnedAhead(int clockwise) {
  if (turned_ahead_.argb.empty()) return false;
  if (clockwise != 1) {
    BringUpright();
    return false;
  }
  image_ = std::exchange(turned_ahead_, Pixels{});
  quarter_turns_ = 1;
  update();
  return true;
}

void QtRastrel::BringUpright() {
  if (turned_ahead_.argb.empty()) return;
  turned_ahead_ = {};
  try {
    image_ = pipeline::Refitted(source_, full_, Box(), 0);
  } catch (...) {
    // Drawn from what is kept once there is memory for it.
  }
  update();
}

void QtRastrel::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (image_.argb.empty()) return;
  const qreal ratio = devicePixelRatioF();
  if (ratio != ratio_) FitToSlot();  // moved to a screen with another ratio
  // Device pixels, one to one.
  painter.scale(1 / ratio, 1 / ratio);
  const Size box = Box();
  Size shown = SizeOf(image_);
  if (shown.width > box.width || shown.height > box.height) {
    // Resized but not yet refitted: still show the whole picture.
    shown = pipeline::FittedSize(shown, box);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
  }
  const QImage view(reinterpret_cast<const uchar*>(image_.argb.data()), image_.width,
                    image_.height, qsizetype(image_.width) * 4, QImage::Format_RGB32);
  const QPoint at((box.width - shown.width) / 2, (box.height - shown.height) / 2);
  painter.drawImage(QRect(at, QSize(shown.width, shown.height)), view);
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
