#pragma once

#include <QImage>
#include <QSize>

namespace mirvane::platform::qt::image {

// The largest size with `picture`'s aspect that fits in `box`, at least 1 x 1. Small
// pictures are enlarged. An empty box gives 1 x 1-ish sizes (decoding then only checks
// the file).
QSize FittedSize(QSize picture, QSize box);

// `image` scaled smoothly to `fitted`. Far reductions first take every n-th pixel down
// to four times the fitted size, which bounds the time of smoothing a huge picture.
QImage ScaledTo(const QImage& image, QSize fitted);

// `size` with width and height swapped when `quarter_turns` is odd.
QSize Turned(QSize size, int quarter_turns);

}  // namespace mirvane::platform::qt::image
