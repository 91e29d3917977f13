#pragma once

#include <cmath>

namespace mirvane::platform::win32 {

// Twips per pixel at `dpi` dots per inch: 15 at 96.
inline double TwipsPerPixel(unsigned dpi) { return dpi > 0 ? 1440.0 / dpi : 15.0; }

inline float ToTwips(int pixels, unsigned dpi) {
  return static_cast<float>(pixels * TwipsPerPixel(dpi));
}

// Rounds to whole pixels. Callers clamp sizes at zero themselves.
inline int ToPixels(double twips, unsigned dpi) {
  const double pixels = std::round(twips / TwipsPerPixel(dpi));
  if (!(pixels > -1e9 && pixels < 1e9)) return 0;  // NaN or absurd values
  return static_cast<int>(pixels);
}

}  // namespace mirvane::platform::win32
