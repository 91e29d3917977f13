#pragma once

#include <cstdint>

namespace mirvane::platform {

// A repeating timer that raises ticks on the user-interface thread. It is created
// enabled but without an interval, and first ticks once it has been given one.
// A new interval takes effect at once and never postpones a tick already due: the
// next tick comes at the earlier of its due time and the new interval from now.
class Timer {
 public:
  Timer() = default;
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  virtual ~Timer() = default;

  // Milliseconds between ticks, 1 to 65535.
  virtual void Interval(std::uint16_t milliseconds) = 0;
  // Enabling an enabled timer changes nothing; disabling drops any pending tick.
  virtual void Enabled(bool on) = 0;
};

}  // namespace mirvane::platform
