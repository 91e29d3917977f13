#pragma once

#include <QImage>
#include <QSize>

#include "image/fit.h"

namespace mirvane::platform::qt::image {

inline mirvane::image::Size ToSize(QSize s) { return {s.width(), s.height()}; }
inline QSize ToQSize(mirvane::image::Size s) { return {s.width, s.height}; }

inline QSize FittedSize(QSize picture, QSize box) {
  return ToQSize(mirvane::image::FittedSize(ToSize(picture), ToSize(box)));
}

inline QSize Turned(QSize size, int quarter_turns) {
  return quarter_turns % 2 ? size.transposed() : size;
}

// The smallest size from which `picture` fitted to `box` either way round is made
// without enlarging: the larger of the two fits.
QSize CoverSize(QSize picture, QSize box);

// `image` scaled smoothly to `fitted`. Far reductions first take every n-th pixel down
// to four times the fitted size, which bounds the time of smoothing a huge picture.
QImage ScaledTo(const QImage& image, QSize fitted);

// `image` turned clockwise by `quarter_turns` (0-3). Null when out of memory.
QImage TurnedImage(const QImage& image, int quarter_turns);

// `image` as stored with the EXIF/TIFF orientation `orientation` (1-8), made upright.
QImage Oriented(const QImage& image, int orientation);

}  // namespace mirvane::platform::qt::image
