#include "platform/qt/image/fit.h"

#include <QTransform>

namespace mirvane::platform::qt::image {

QSize CoverSize(QSize picture, QSize box) {
  return ToQSize(mirvane::image::CoverSize(ToSize(picture), ToSize(box)));
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

QImage TurnedImage(const QImage& image, int quarter_turns) {
  if (quarter_turns % 4 == 0) return image;
  return image.transformed(QTransform().rotate(90.0 * quarter_turns));
}

QImage Oriented(const QImage& image, int orientation) {
  switch (orientation) {
    case 2:
      return image.mirrored(true, false);
    case 3:
      return TurnedImage(image, 2);
    case 4:
      return image.mirrored(false, true);
    case 5:  // transposed
      return TurnedImage(image, 1).mirrored(true, false);
    case 6:
      return TurnedImage(image, 1);
    case 7:  // transposed across the other diagonal
      return TurnedImage(image, 1).mirrored(false, true);
    case 8:
      return TurnedImage(image, 3);
    default:
      return image;
  }
}

}  // namespace mirvane::platform::qt::image
