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

  bool IsEnabled() const { return enabled_; }
  std::uint16_t CurrentInterval() const { return interval_; }

 private:
  void Tick();

  QTimer timer_;
  std::function<void()> on_tick_;
  std::uint16_t interval_ = 0;  // 0: not given yet
  bool enabled_ = true;
};

}  // namespace mirvane::platform::qt
