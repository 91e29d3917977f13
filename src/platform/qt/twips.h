#pragma once

#include <QPaintDevice>
#include <cmath>

namespace mirvane::platform::qt {

// Twips per pixel from the device's logical DPI: 15 at 96 dpi.
inline double TwipsPerPixel(const QPaintDevice& device) {
  const int dpi = device.logicalDpiX();
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

inline float ToTwips(int pixels, const QPaintDevice& device) {
  return static_cast<float>(pixels * TwipsPerPixel(device));
}

// Rounds to whole pixels. Callers clamp sizes at zero themselves.
inline int ToPixels(float twips, const QPaintDevice& device) {
  const double pixels = std::round(static_cast<double>(twips) / TwipsPerPixel(device));
  if (!(pixels > -1e9 && pixels < 1e9)) return 0;  // NaN or absurd values
  return static_cast<int>(pixels);
}

}  // namespace mirvane::platform::qt
