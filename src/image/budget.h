#pragma once

#include <cstdint>

namespace mirvane::image {

// Largest picture decoded at full size: room for 100-MP camera files, and at 4 bytes a
// pixel a bound of 512 MiB on what one bad header can make us allocate.
inline constexpr std::int64_t kMaxPixels = std::int64_t{128} * 1024 * 1024;
// Sides alone do not cost memory; this only keeps row sizes far from int overflow.
inline constexpr std::int64_t kMaxSide = std::int64_t{1} << 20;
// JPEG decodes straight to a fraction of its size, so a larger full size is admitted as
// long as what is decoded fits kMaxPixels; this still bounds the entropy decoding time.
inline constexpr std::int64_t kMaxJpegPixels = std::int64_t{512} * 1024 * 1024;
// libjpeg's largest side.
inline constexpr std::int64_t kMaxJpegSide = 65500;
inline constexpr std::int64_t kMaxFileBytes = std::int64_t{512} * 1024 * 1024;

// True when a picture of w x h may be decoded at full size.
inline bool WithinBudget(std::int64_t w, std::int64_t h) {
  return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

}  // namespace mirvane::image

namespace mirvane::image {

// Frames read from one animation at most.
inline constexpr int kMaxFrames = 4096;
// All frames of an animation as kept, fitted to the slot: a long animation in a large
// slot plays only as far as this goes rather than fill memory.
inline constexpr std::int64_t kMaxAnimationPixels = std::int64_t{64} * 1024 * 1024;
// Full-size frame pixels decoded from one animation; bounds the time one file takes.
inline constexpr std::int64_t kMaxAnimationWork = 2 * kMaxPixels;

}  // namespace mirvane::image
