#include "image/playback.h"

#include <utility>

namespace mirvane::image {

void Playback::Load(std::vector<int> delays_ms, int loops) {
  delays_ = std::move(delays_ms);
  loops_left_ = loops;
  current_ = 0;
  ended_ = false;
}

std::optional<int> Playback::Delay() const {
  if (ended_ || delays_.size() < 2) return std::nullopt;
  return delays_[std::size_t(current_)];
}

bool Playback::Step() {
  if (!Delay()) return false;
  int next = current_ + 1;
  if (next == static_cast<int>(delays_.size())) {
    if (loops_left_ == 0) {
      ended_ = true;
      return false;
    }
    if (loops_left_ > 0) --loops_left_;
    next = 0;
  }
  current_ = next;
  return true;
}

}  // namespace mirvane::image
