#include "platform/qt/image/qt_playback.h"

namespace mirvane::platform::qt {

QtPlayback::QtPlayback(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);  // delays of a few tens of ms are the picture's pace
  connect(&timer_, &QTimer::timeout, this, &QtPlayback::Step);
}

void QtPlayback::Load(std::vector<int> delays_ms, int loops) {
  timer_.stop();
  delays_ = std::move(delays_ms);
  loops_left_ = loops;
  current_ = 0;
  ended_ = false;
  Arm();
}

void QtPlayback::SetOn(bool on) {
  on_ = on;
  if (on) {
    if (!timer_.isActive()) Arm();
  } else {
    timer_.stop();
  }
}

void QtPlayback::Arm() {
  if (on_ && !ended_ && delays_.size() > 1) timer_.start(delays_[std::size_t(current_)]);
}

void QtPlayback::Step() {
  int next = current_ + 1;
  if (next == static_cast<int>(delays_.size())) {
    if (loops_left_ == 0) {
      ended_ = true;  // the last frame stays, as browsers leave it
      return;
    }
    if (loops_left_ > 0) --loops_left_;
    next = 0;
  }
  current_ = next;
  emit frameChanged(current_);
  Arm();
}

}  // namespace mirvane::platform::qt
