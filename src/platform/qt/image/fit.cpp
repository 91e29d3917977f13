#include "platform/qt/image/fit.h"

namespace mirvane::platform::qt::image {

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

}  // namespace mirvane::platform::qt::image
