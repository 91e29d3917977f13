#include "viewer/next_names.h"

#include <algorithm>

namespace mirvane::viewer {

std::vector<std::string> NextNames(const LumivoState& state, bool loop, int count) {
  const int total = state.FileCount;
  int at = state.CurrentIndex;
  std::vector<std::string> names;
  if (total <= 0) return names;
  if (at >= total || at < 0) {
    // Ticks take nothing here; only the next-image command moves on, from the first name.
    if (total < 2 && at == total) return names;
    at = 0;
  }
  const bool wraps = loop && total > 1;
  const int limit = std::min(count, total);
  while (static_cast<int>(names.size()) < limit) {
    if (at == total) {
      if (!wraps) break;
      at = 0;
    }
    ++at;
    names.push_back(state.FileList[static_cast<std::size_t>(at)]);
  }
  return names;
}

platform::TurnWhen TurnRule(const Outlook& seen) {
  if (!seen.rotate) return platform::TurnWhen::kNever;
  if (seen.width > seen.height) return platform::TurnWhen::kPortrait;
  if (seen.width < seen.height) return platform::TurnWhen::kLandscape;
  return platform::TurnWhen::kNever;
}

platform::Upcoming WhatComesNext(const LumivoState& state) {
  return {NextNames(state, state.Seen.loop, kNamesAhead), state.BackIndex, TurnRule(state.Seen)};
}

}  // namespace mirvane::viewer
