#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

// Median, 99th percentile and maximum of a run's timings.
struct Stats {
  double median, p99, max;
};

inline Stats Of(std::vector<double> v) {
  if (v.empty()) return {0, 0, 0};
  std::sort(v.begin(), v.end());
  const auto at = [&](double q) { return v[std::min(v.size() - 1, std::size_t(q * v.size()))]; };
  return {at(0.5), at(0.99), v.back()};
}
