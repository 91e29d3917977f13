#include "platform/qt/image/fit.h"

#include <algorithm>
#include <cmath>

namespace mirvane::platform::qt::image {

QSize FittedSize(QSize picture, QSize box) {
  if (picture.width() <= 0 || picture.height() <= 0) return {};
  const double bw = std::max(box.width(), 1);
  const double bh = std::max(box.height(), 1);
  const double scale = std::min(bw / picture.width(), bh / picture.height());
  const auto side = [&](int n, double limit) {
    return static_cast<int>(std::clamp(std::round(n * scale), 1.0, limit));
  };
  return {side(picture.width(), bw), side(picture.height(), bh)};
}

QImage ScaledTo(const QImage& image, QSize fitted) {
  if (image.size() == fitted) return image;
  constexpr int kSupersample = 4, kFar = 8;
  if (image.width() > kFar * fitted.width() && image.height() > kFar * fitted.height()) {
    const QImage coarse =
        image.scaled(fitted * kSupersample, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return coarse.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  return image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QSize Turned(QSize size, int quarter_turns) { return quarter_turns % 2 ? size.transposed() : size; }

}  // namespace mirvane::platform::qt::image
