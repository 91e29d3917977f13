#include "platform/qt/qt_timer.h"

#include <utility>

namespace mirvane::platform::qt {

QtTimer::QtTimer(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  // A coarse timer may fire 5 % late; a slide show wants its pace as set.
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &QtTimer::Tick);
}

void QtTimer::Interval(std::uint16_t milliseconds) {
  interval_ = milliseconds;
  if (!enabled_) return;
  if (interval_ == 0) {
    timer_.stop();
    Release();
    return;
  }
  if (held_) return;  // the held tick re-arms with the new interval when it is given
  // A tick already due sooner keeps its time; the new interval only brings it forward.
  const int remaining = timer_.remainingTime();  // -1 when not armed
  if (remaining < 0 || interval_ < remaining) timer_.start(interval_);
}

void QtTimer::Enabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (!on) {
    timer_.stop();
    Release();
  } else if (interval_ > 0) {
    timer_.start(interval_);
  }
}

void QtTimer::OnTick(std::function<void()> handler) { on_tick_ = std::move(handler); }

void QtTimer::HoldTicks(Hold hold) { hold_ = std::move(hold); }

void QtTimer::Release() {
  held_ = false;
  ++hold_generation_;
}

void QtTimer::Tick() {
  if (!enabled_ || interval_ == 0) return;
  const unsigned generation = ++hold_generation_;
  if (hold_ && hold_([this, generation] {
        if (held_ && generation == hold_generation_) Fire();
      })) {
    held_ = true;
    return;
  }
  Fire();
}

void QtTimer::Fire() {
  held_ = false;
  if (!enabled_ || interval_ == 0) return;
  // Re-armed before the handler runs, so that what the handler does to the timer
  // (a new interval, disabling it) acts on the next tick.
  timer_.start(interval_);
  if (on_tick_) on_tick_();
}

}  // namespace mirvane::platform::qt
