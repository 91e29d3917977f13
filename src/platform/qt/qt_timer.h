#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "platform/timer.h"

namespace mirvane::platform::qt {

// platform::Timer over a single-shot QTimer that is re-armed at every tick with the
// interval of that moment.
class QtTimer final : public QObject, public platform::Timer {
  Q_OBJECT

 public:
  explicit QtTimer(QObject* parent = nullptr);

  void Interval(std::uint16_t milliseconds) override;
  void Enabled(bool on) override;

  // The handler raised at each tick; replaces any earlier one.
  void OnTick(std::function<void()> handler);
  // Asked at each tick whether the picture it shows is still being decoded; when it
  // answers true it keeps `resume` and calls it once the picture is ready. The tick is
  // then given late rather than blocking the event loop while it waits, so the window
  // answers meanwhile. Disabling the timer drops a held tick, as it drops a pending one.
  using Hold = std::function<bool(std::function<void()> resume)>;
  void HoldTicks(Hold hold);

  bool IsEnabled() const { return enabled_; }
  std::uint16_t CurrentInterval() const { return interval_; }

 private:
  void Tick();
  void Fire();
  void Release();  // drops a held tick

  QTimer timer_;
  std::function<void()> on_tick_;
  Hold hold_;
  bool held_ = false;
  unsigned hold_generation_ = 0;  // a resume from an earlier, dropped hold does nothing
  std::uint16_t interval_ = 0;    // 0: not given yet
  bool enabled_ = true;
};

}  // namespace mirvane::platform::qt
