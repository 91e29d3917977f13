#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/timer.h"
#include "platform/win32/native_window.h"

namespace mirvane::platform::win32 {

// platform::Timer over SetTimer on a message-only window of its own, re-armed at
// every tick with the interval of that moment. Windows raises intervals below 10 ms
// to 10 ms.
class Win32Timer final : public NativeWindow, public platform::Timer {
 public:
  Win32Timer();

  void Interval(std::uint16_t milliseconds) override;
  void Enabled(bool on) override;

  // The handler raised at each tick; replaces any earlier one.
  void OnTick(std::function<void()> handler) { on_tick_ = std::move(handler); }
  // Asked at each tick whether the picture it shows is still being decoded; when it
  // answers true it keeps `resume` and calls it once the picture is ready. The tick is
  // then given late rather than blocking the message loop while it waits, so the window
  // answers meanwhile. Disabling the timer drops a held tick, as it drops a pending one.
  using Hold = std::function<bool(std::function<void()> resume)>;
  void HoldTicks(Hold hold) { hold_ = std::move(hold); }

  bool IsEnabled() const { return enabled_; }
  std::uint16_t CurrentInterval() const { return interval_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Arm(std::uint16_t milliseconds);
  void Disarm();
  void Fire();
  void Release();  // drops a held tick

  std::function<void()> on_tick_;
  Hold hold_;
  bool held_ = false;
  unsigned hold_generation_ = 0;  // a resume from an earlier, dropped hold does nothing
  std::uint16_t interval_ = 0;    // 0: not given yet
  bool enabled_ = true;
  bool armed_ = false;
  ULONGLONG due_ = 0;  // GetTickCount64 of the next tick, while armed
};

}  // namespace mirvane::platform::win32
