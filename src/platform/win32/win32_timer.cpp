#include "platform/win32/win32_timer.h"

namespace mirvane::platform::win32 {
namespace {

constexpr UINT_PTR kTimerId = 1;

}  // namespace

Win32Timer::Win32Timer() { Create(WindowClass{L"MirvaneTimer"}, 0, 0, L"", RECT{}, HWND_MESSAGE); }

void Win32Timer::Interval(std::uint16_t milliseconds) {
  interval_ = milliseconds;
  if (!enabled_) return;
  if (interval_ == 0) {
    Disarm();
    Release();
    return;
  }
  if (held_) return;  // the held tick re-arms with the new interval when it is given
  // A tick already due sooner keeps its time; the new interval only brings it forward.
  if (!armed_ || GetTickCount64() + interval_ < due_) Arm(interval_);
}

void Win32Timer::Enabled(bool on) {
  if (on == enabled_) return;
  enabled_ = on;
  if (!on) {
    Disarm();
    Release();
  } else if (interval_ > 0) {
    Arm(interval_);
  }
}

void Win32Timer::Arm(std::uint16_t milliseconds) {
  // SetTimer with the same id replaces the running timer and restarts its count.
  armed_ = SetTimer(Handle(), kTimerId, milliseconds, nullptr) != 0;
  due_ = GetTickCount64() + milliseconds;
}

void Win32Timer::Disarm() {
  if (armed_) KillTimer(Handle(), kTimerId);
  armed_ = false;
  // A WM_TIMER already queued would still arrive; the check at the tick drops it.
}

LRESULT Win32Timer::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_TIMER || wparam != kTimerId) {
    return NativeWindow::HandleMessage(message, wparam, lparam);
  }
  if (!enabled_ || interval_ == 0 || !armed_) return 0;
  const unsigned generation = ++hold_generation_;
  if (hold_ && hold_([this, generation] {
        if (held_ && generation == hold_generation_) Fire();
      })) {
    held_ = true;
    Disarm();  // no other tick while this one waits
    return 0;
  }
  Fire();
  return 0;
}

void Win32Timer::Fire() {
  held_ = false;
  if (!enabled_ || interval_ == 0) return;
  // Re-armed before the handler runs, so that what the handler does to the timer
  // (a new interval, disabling it) acts on the next tick.
  Arm(interval_);
  if (on_tick_) on_tick_();
}

void Win32Timer::Release() {
  held_ = false;
  ++hold_generation_;
}

}  // namespace mirvane::platform::win32
