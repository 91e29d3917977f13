#include "platform/qt/image/qt_playback.h"

namespace mirvane::platform::qt {

QtPlayback::QtPlayback(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);  // delays of a few tens of ms are the picture's pace
  connect(&timer_, &QTimer::timeout, this, &QtPlayback::Step);
}

void QtPlayback::Load(std::vector<int> delays_ms, int loops) {
  timer_.stop();
  play_.Load(std::move(delays_ms), loops);
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
  if (const auto delay = play_.Delay(); on_ && delay) timer_.start(*delay);
}

void QtPlayback::Step() {
  if (!play_.Step()) return;
  emit frameChanged(play_.current());
  Arm();
}

}  // namespace mirvane::platform::qt
